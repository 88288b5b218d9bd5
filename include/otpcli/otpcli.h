// Client library of the one-time-password (OTP) authentication service.
//
// A host creates an OTPCLI object, configures it once with init() and calls one
// request per action. Every request returns S_OK or E_FAIL and leaves a
// four-character result code and a message in the object, read back with
// getErrorCode() and getErrorMesg(). Text arguments are NUL-terminated UTF-16
// strings of unsigned short units on every platform (on Windows a wchar_t
// string is passed with a cast); text results are newly allocated BSTRs that
// the caller frees with SysFreeString().
#ifndef OTPCLI_OTPCLI_H
#define OTPCLI_OTPCLI_H

#include <cstdint>

#if defined(_WIN32)
// HRESULT, BSTR, the status values and the string functions (oleaut32) are
// the system's own. <oleauto.h> needs <windows.h> before it; a program that
// uses Windows Sockets 2 includes <winsock2.h> before this header, or defines
// WIN32_LEAN_AND_MEAN.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on
#if defined(OTPCLI_BUILDING)
#define OTPCLI_API __declspec(dllexport)
#else
#define OTPCLI_API __declspec(dllimport)
#endif
#define OTPCLI_C_API
#else
#define OTPCLI_API __attribute__((visibility("default")))
#define OTPCLI_C_API __attribute__((visibility("default")))

// Status of every operation: negative on failure. long is 64 bits on this
// platform, so the status is a fixed 32-bit type.
typedef std::int32_t HRESULT;

#ifndef S_OK
#define S_OK ((HRESULT)0)
#endif
#ifndef E_POINTER
#define E_POINTER ((HRESULT)0x80004003L)
#endif
#ifndef E_INVALIDARG
#define E_INVALIDARG ((HRESULT)0x80070057L)
#endif
#ifndef E_FAIL
#define E_FAIL ((HRESULT)0x80004005L)
#endif

// Returned strings: UTF-16 code units, a 32-bit byte count stored before the
// first unit and a zero unit after the last.
typedef unsigned short OLECHAR;
typedef OLECHAR* BSTR;

extern "C" {
// A new string of len units copied from text (or zero-filled when text is
// null); null when the allocation fails.
OTPCLI_C_API BSTR SysAllocStringLen(const OLECHAR* text, unsigned int len);
// Frees a string made by SysAllocStringLen; a null string is ignored.
OTPCLI_C_API void SysFreeString(BSTR text);
// Length of the string in units; 0 for a null string.
OTPCLI_C_API unsigned int SysStringLen(BSTR text);
}
#endif

class OTPCLI_API OTPCLI {
  public:
    // Authentication levels a caller passes to reqAuth().
    static const int AUTH_LEVEL_1;
    static const int AUTH_LEVEL_2;

    OTPCLI();
    OTPCLI(const OTPCLI& other);
    OTPCLI& operator=(const OTPCLI& other);
    virtual ~OTPCLI();

    // Stores the service port, then the site identifier, then the key material
    // (each at most 32 bytes once converted to code page 949), in that order,
    // and stops at the first text that fails: a null one gives E_POINTER, a
    // longer one E_INVALIDARG, and one that cannot be converted (a character
    // beyond ASCII on a system without a code page 949 converter) E_FAIL. What
    // the steps before the failure stored stays: the port always, and the new
    // site identifier when it is the key material that fails; the failing
    // field and the one after it keep what they held. The port is stored as
    // given; requests connect to it modulo 65536 (65537 is port 1, -1 is
    // port 65535).
    HRESULT init(int port, const unsigned short* siteId, const unsigned short* keyMaterial);

    HRESULT getErrorCode(BSTR* code);
    HRESULT getErrorMesg(BSTR* mesg);
    // Host name of the server that took the last successful connection.
    HRESULT getHost(BSTR* host);
    HRESULT getPort(int* port);
    // Connect time limit, in one-second waits.
    HRESULT setConnectTimeout(int timeout);
    HRESULT getConnectTimeout(int* timeout);

    // The 40-character lower-case SHA-1 hex text of a string: the identity text
    // that the requests derive from a resident registration number. A null
    // pointer gives E_POINTER (hash untouched); a text longer than a conversion
    // to code page 949 takes E_INVALIDARG; a text whose conversion needs memory
    // that cannot be had, or a character beyond ASCII on a system without a
    // code page 949 converter, E_FAIL (hash untouched in every failure). S_OK
    // with a null hash when the returned string cannot be allocated.
    HRESULT hashValue(const unsigned short* text, BSTR* hash);

    // Requests to the service. identityForm 0: userId is a resident registration
    // number; 1: userId is the 40-character text from hashValue(); any other
    // value: userId is hashed without the number check, except in reqCheck,
    // which checks the number under every form but 1. A text argument that
    // cannot be converted to code page 949 (a character beyond ASCII on a
    // system without the converter, or a length beyond what a conversion
    // takes) fails the request with E001 before anything is sent.
    HRESULT reqIssue(const unsigned short* userId, const unsigned short* codeText,
                     const unsigned short* valueText);
    HRESULT reqReissue(const unsigned short* userId, int identityForm,
                       const unsigned short* codeText, const unsigned short* valueText);
    HRESULT reqCheck(const unsigned short* userId, int identityForm, const unsigned short* codeText,
                     const unsigned short* valueText);
    HRESULT reqAddsvcCheck(const unsigned short* codeText, const unsigned short* valueText);
    HRESULT reqAuth(const unsigned short* userId, int identityForm, int otpValue, int authLevel,
                    const unsigned short* extraText);
    HRESULT reqJoin(const unsigned short* userId, int identityForm);
    HRESULT reqClose(const unsigned short* userId, int identityForm);
    HRESULT reqInitAuthErr(const unsigned short* userId, int identityForm);

    // Replaces the primary and backup host names (host name or dotted IPv4
    // address) for the whole process and returns to the primary. A null name
    // gives E_POINTER; an empty one, one over 255 bytes or one longer than a
    // conversion takes E_INVALIDARG; one whose conversion needs memory that
    // cannot be had, or that has a character beyond ASCII on a system without a
    // code page 949 converter, E_FAIL. In every failure the names stay as they
    // were. A request resolves the name of the server it tries: a dotted IPv4 address is
    // taken as it is, any other name is looked up with the system's resolver,
    // whose time has no limit of its own and is not part of a request's
    // 30-second reply bound.
    static HRESULT setServerHosts(const unsigned short* primary, const unsigned short* backup);

  protected:
    // Records the outcome of a request: the first four bytes of code and at most
    // 256 bytes of mesg; a null text or a code under four bytes gives Z001.
    void setError(const char* code, const char* mesg);
    // True when id is a 13-character resident registration number whose check
    // digit fits.
    bool checkUserId(const char* id);

    char errorCode[5];
    char errorMesg[257];
    std::int32_t connectTimeout;
    std::int32_t port;
    char siteId[33];
    char keyMaterial[33];
};

#endif  // OTPCLI_OTPCLI_H
