// JNI glue of org.otpcli.Native over the library's C interface. Texts cross as
// byte arrays of standard UTF-8 (the JNI string functions speak modified UTF-8);
// every native copy of an argument is wiped before it is freed, and the strings
// the library returns stay owned by the handle, so only Java arrays are made.
#include <jni.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <otpcli/otpcli_c.h>

#include "org_otpcli_Native.h"

namespace {

otpcli_client* clientOf(jlong handle) {
    return reinterpret_cast<otpcli_client*>(static_cast<std::intptr_t>(handle));
}

void throwOutOfMemory(JNIEnv* env, const char* what) {
    jclass error = env->FindClass("java/lang/OutOfMemoryError");
    if (error != nullptr) {
        env->ThrowNew(error, what);
    }
}

void wipe(void* data, std::size_t size) {
    // Through a volatile pointer, so that the stores are not dropped as dead.
    auto* bytes = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = 0;
    }
}

// A NUL-terminated native copy of a Java byte array (null for a null array),
// wiped and freed when it goes out of scope. ok() is false when the copy could
// not be made; an OutOfMemoryError is then pending.
class NativeText {
  public:
    NativeText(JNIEnv* env, jbyteArray array) {
        if (array == nullptr) {
            return;
        }
        const jsize length = env->GetArrayLength(array);
        size_ = static_cast<std::size_t>(length) + 1;
        data_ = static_cast<char*>(std::malloc(size_));
        if (data_ == nullptr) {
            size_ = 0;
            ok_ = false;
            throwOutOfMemory(env, "otpcli: no memory for a text argument");
            return;
        }
        env->GetByteArrayRegion(array, 0, length, reinterpret_cast<jbyte*>(data_));
        data_[length] = '\0';
    }
    NativeText(const NativeText&) = delete;
    NativeText& operator=(const NativeText&) = delete;
    ~NativeText() {
        if (data_ != nullptr) {
            wipe(data_, size_);
            std::free(data_);
        }
    }

    bool ok() const { return ok_; }
    const char* get() const { return data_; }

  private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    bool ok_ = true;
};

// A new Java byte array holding text without its NUL; null with an
// OutOfMemoryError pending when it cannot be made.
jbyteArray bytesOf(JNIEnv* env, const char* text) {
    const std::size_t length = text == nullptr ? 0 : std::strlen(text);
    jbyteArray array = env->NewByteArray(static_cast<jsize>(length));
    if (array != nullptr && length > 0) {
        env->SetByteArrayRegion(array, 0, static_cast<jsize>(length),
                                reinterpret_cast<const jbyte*>(text));
    }
    return array;
}

// A text the handle owns, read by getter, as a Java byte array (empty when the
// getter fails).
jbyteArray handleText(JNIEnv* env, jlong handle,
                      otpcli_status(OTPCLI_CALL* getter)(otpcli_client*, const char**)) {
    const char* text = nullptr;
    if (getter(clientOf(handle), &text) != OTPCLI_OK) {
        text = nullptr;
    }
    return bytesOf(env, text);
}

}  // namespace

extern "C" {

JNIEXPORT jint JNICALL JNI_OnLoad(JavaVM* /*vm*/, void* /*reserved*/) {
    // The glue is built against one major version of the C interface.
    if (otpcli_version_number() / 10000 != OTPCLI_VERSION_MAJOR) {
        return JNI_ERR;
    }
    return JNI_VERSION_1_8;
}

JNIEXPORT jlong JNICALL Java_org_otpcli_Native_create(JNIEnv* env, jclass /*cls*/) {
    otpcli_client* client = nullptr;
    if (otpcli_create(&client) != OTPCLI_OK || client == nullptr) {
        throwOutOfMemory(env, "otpcli: no memory for a client");
        return 0;
    }
    return static_cast<jlong>(reinterpret_cast<std::intptr_t>(client));
}

JNIEXPORT void JNICALL Java_org_otpcli_Native_destroy(JNIEnv* /*env*/, jclass /*cls*/,
                                                      jlong handle) {
    otpcli_destroy(clientOf(handle));
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_init(JNIEnv* env, jclass /*cls*/, jlong handle,
                                                   jint port, jbyteArray siteId,
                                                   jbyteArray keyMaterial) {
    const NativeText site(env, siteId);
    const NativeText key(env, keyMaterial);
    if (!site.ok() || !key.ok()) {
        return OTPCLI_E_FAIL;
    }
    return otpcli_init(clientOf(handle), port, site.get(), key.get());
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_setConnectTimeout(JNIEnv* /*env*/, jclass /*cls*/,
                                                                jlong handle, jint timeout) {
    return otpcli_set_connect_timeout(clientOf(handle), timeout);
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_connectTimeout(JNIEnv* /*env*/, jclass /*cls*/,
                                                             jlong handle) {
    int timeout = 0;
    otpcli_get_connect_timeout(clientOf(handle), &timeout);
    return timeout;
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_port(JNIEnv* /*env*/, jclass /*cls*/, jlong handle) {
    int port = 0;
    otpcli_get_port(clientOf(handle), &port);
    return port;
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_issue(JNIEnv* env, jclass /*cls*/, jlong handle,
                                                    jbyteArray userId, jbyteArray codeText,
                                                    jbyteArray valueText) {
    const NativeText user(env, userId);
    const NativeText code(env, codeText);
    const NativeText value(env, valueText);
    if (!user.ok() || !code.ok() || !value.ok()) {
        return OTPCLI_E_FAIL;
    }
    return otpcli_issue(clientOf(handle), user.get(), code.get(), value.get());
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_reissue(JNIEnv* env, jclass /*cls*/, jlong handle,
                                                      jbyteArray userId, jint identityForm,
                                                      jbyteArray codeText, jbyteArray valueText) {
    const NativeText user(env, userId);
    const NativeText code(env, codeText);
    const NativeText value(env, valueText);
    if (!user.ok() || !code.ok() || !value.ok()) {
        return OTPCLI_E_FAIL;
    }
    return otpcli_reissue(clientOf(handle), user.get(), identityForm, code.get(), value.get());
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_check(JNIEnv* env, jclass /*cls*/, jlong handle,
                                                    jbyteArray userId, jint identityForm,
                                                    jbyteArray codeText, jbyteArray valueText) {
    const NativeText user(env, userId);
    const NativeText code(env, codeText);
    const NativeText value(env, valueText);
    if (!user.ok() || !code.ok() || !value.ok()) {
        return OTPCLI_E_FAIL;
    }
    return otpcli_check(clientOf(handle), user.get(), identityForm, code.get(), value.get());
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_addsvcCheck(JNIEnv* env, jclass /*cls*/, jlong handle,
                                                          jbyteArray codeText,
                                                          jbyteArray valueText) {
    const NativeText code(env, codeText);
    const NativeText value(env, valueText);
    if (!code.ok() || !value.ok()) {
        return OTPCLI_E_FAIL;
    }
    return otpcli_addsvc_check(clientOf(handle), code.get(), value.get());
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_auth(JNIEnv* env, jclass /*cls*/, jlong handle,
                                                   jbyteArray userId, jint identityForm,
                                                   jint otpValue, jint authLevel,
                                                   jbyteArray extraText) {
    const NativeText user(env, userId);
    const NativeText extra(env, extraText);
    if (!user.ok() || !extra.ok()) {
        return OTPCLI_E_FAIL;
    }
    return otpcli_auth(clientOf(handle), user.get(), identityForm, otpValue, authLevel,
                       extra.get());
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_join(JNIEnv* env, jclass /*cls*/, jlong handle,
                                                   jbyteArray userId, jint identityForm) {
    const NativeText user(env, userId);
    return user.ok() ? otpcli_join(clientOf(handle), user.get(), identityForm) : OTPCLI_E_FAIL;
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_close(JNIEnv* env, jclass /*cls*/, jlong handle,
                                                    jbyteArray userId, jint identityForm) {
    const NativeText user(env, userId);
    return user.ok() ? otpcli_close(clientOf(handle), user.get(), identityForm) : OTPCLI_E_FAIL;
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_initAuthErr(JNIEnv* env, jclass /*cls*/, jlong handle,
                                                          jbyteArray userId, jint identityForm) {
    const NativeText user(env, userId);
    return user.ok() ? otpcli_init_auth_err(clientOf(handle), user.get(), identityForm)
                     : OTPCLI_E_FAIL;
}

JNIEXPORT jbyteArray JNICALL Java_org_otpcli_Native_resultCode(JNIEnv* env, jclass /*cls*/,
                                                               jlong handle) {
    return handleText(env, handle, otpcli_result_code);
}

JNIEXPORT jbyteArray JNICALL Java_org_otpcli_Native_resultMessage(JNIEnv* env, jclass /*cls*/,
                                                                  jlong handle) {
    return handleText(env, handle, otpcli_result_message);
}

JNIEXPORT jbyteArray JNICALL Java_org_otpcli_Native_host(JNIEnv* env, jclass /*cls*/,
                                                         jlong handle) {
    return handleText(env, handle, otpcli_host);
}

JNIEXPORT jbyteArray JNICALL Java_org_otpcli_Native_hashValue(JNIEnv* env, jclass /*cls*/,
                                                              jbyteArray text) {
    const NativeText input(env, text);
    if (!input.ok()) {
        return nullptr;
    }
    char hash[OTPCLI_HASH_SIZE] = {};
    jbyteArray result = nullptr;
    if (otpcli_hash_value(input.get(), hash) == OTPCLI_OK) {
        result = bytesOf(env, hash);
    }
    wipe(hash, sizeof hash);
    return result;
}

JNIEXPORT jint JNICALL Java_org_otpcli_Native_setServerHosts(JNIEnv* env, jclass /*cls*/,
                                                             jbyteArray primary,
                                                             jbyteArray backup) {
    const NativeText first(env, primary);
    const NativeText second(env, backup);
    if (!first.ok() || !second.ok()) {
        return OTPCLI_E_FAIL;
    }
    return otpcli_set_server_hosts(first.get(), second.get());
}

JNIEXPORT jbyteArray JNICALL Java_org_otpcli_Native_versionString(JNIEnv* env, jclass /*cls*/) {
    return bytesOf(env, otpcli_version_string());
}

}  // extern "C"
