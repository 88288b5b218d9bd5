// The library's own result codes and their messages, held as code page 949
// bytes exactly as the service's callers see them.
#pragma once

#include <array>

namespace otpcli {

struct Result {
    const char* code;
    const char* mesg;
};

// Success of the six sealing requests.
inline constexpr Result kSuccess{"0000", ""};
// Success of the two service checks: "서비스가 가능합니다."
inline constexpr Result kServiceAvailable{
    "0000", "\xbc\xad\xba\xf1\xbd\xba\xb0\xa1\x20\xb0\xa1\xb4\xc9\xc7\xd5\xb4\xcf\xb4\xd9\x2e"};
// "입력값 중 널이 있습니다."
inline constexpr Result kNullArgument{
    "P001",
    "\xc0\xd4\xb7\xc2\xb0\xaa\x20\xc1\xdf\x20\xb3\xce\xc0\xcc\x20\xc0\xd6\xbd\xc0\xb4\xcf\xb4\xd9"
    "\x2e"};
// "OTP값은 7자리 이하의 숫자이어야 합니다."
inline constexpr Result kBadOtpValue{
    "P002",
    "OTP\xb0\xaa\xc0\xba\x20\x37\xc0\xda\xb8\xae\x20\xc0\xcc\xc7\xcf\xc0\xc7\x20\xbc\xfd\xc0\xda"
    "\xc0\xcc\xbe\xee\xbe\xdf\x20\xc7\xd5\xb4\xcf\xb4\xd9\x2e"};
// "주민등록번호 형식 오류."
inline constexpr Result kBadResidentNumber{
    "P003",
    "\xc1\xd6\xb9\xce\xb5\xee\xb7\xcf\xb9\xf8\xc8\xa3\x20\xc7\xfc\xbd\xc4\x20\xbf\xc0\xb7\xf9"
    "\x2e"};
// "주민번호 형식 오류"
inline constexpr Result kBadBirthCode{
    "P003", "\xc1\xd6\xb9\xce\xb9\xf8\xc8\xa3\x20\xc7\xfc\xbd\xc4\x20\xbf\xc0\xb7\xf9"};
// "입력데이터가 잘못 되었습니다."
inline constexpr Result kBadIdentityText{
    "P003",
    "\xc0\xd4\xb7\xc2\xb5\xa5\xc0\xcc\xc5\xcd\xb0\xa1\x20\xc0\xdf\xb8\xf8\x20\xb5\xc7\xbe\xfa\xbd"
    "\xc0\xb4\xcf\xb4\xd9\x2e"};
// "암호화 오류가 발생하였습니다."
inline constexpr Result kSealingFailed{
    "C001",
    "\xbe\xcf\xc8\xa3\xc8\xad\x20\xbf\xc0\xb7\xf9\xb0\xa1\x20\xb9\xdf\xbb\xfd\xc7\xcf\xbf\xb4\xbd"
    "\xc0\xb4\xcf\xb4\xd9\x2e"};
// "메모리할당 오류"
inline constexpr Result kOutOfMemory{
    "A001", "\xb8\xde\xb8\xf0\xb8\xae\xc7\xd2\xb4\xe7\x20\xbf\xc0\xb7\xf9"};
// "서버에 접속할 수 없습니다."
inline constexpr Result kCannotConnect{
    "N001",
    "\xbc\xad\xb9\xf6\xbf\xa1\x20\xc1\xa2\xbc\xd3\xc7\xd2\x20\xbc\xf6\x20\xbe\xf8\xbd\xc0\xb4\xcf"
    "\xb4\xd9\x2e"};
// "서버와 통신 중 IO에러가 발생하였습니다."
inline constexpr Result kTransferFailed{
    "N002",
    "\xbc\xad\xb9\xf6\xbf\xcd\x20\xc5\xeb\xbd\xc5\x20\xc1\xdf\x20IO\xbf\xa1\xb7\xaf\xb0\xa1\x20"
    "\xb9\xdf\xbb\xfd\xc7\xcf\xbf\xb4\xbd\xc0\xb4\xcf\xb4\xd9\x2e"};
// "문자코드 변환 오류": a text argument could not be converted to code page 949
// (it needs a converter that this system cannot provide, or it is longer than
// a conversion takes). Nothing is sent.
inline constexpr Result kConversionFailed{
    "E001", "\xb9\xae\xc0\xda\xc4\xda\xb5\xe5\x20\xba\xaf\xc8\xaf\x20\xbf\xc0\xb7\xf9"};
// "그외 오류"
inline constexpr Result kOtherError{"Z001", "\xb1\xd7\xbf\xdc\x20\xbf\xc0\xb7\xf9"};

inline constexpr std::array kAllResults{
    kSuccess,        kServiceAvailable, kNullArgument,  kBadOtpValue, kBadResidentNumber,
    kBadBirthCode,   kBadIdentityText,  kSealingFailed, kOutOfMemory, kCannotConnect,
    kTransferFailed, kConversionFailed, kOtherError};

}  // namespace otpcli
