#include "result_codes.h"

#include "codepage.h"

namespace otpd {

// S1xx: the subscriber's standing; S2xx: the request itself; S3xx: the service.
const std::array<ResultInfo, kResultCodeCount> kResults{{
    {ResultCode::kOk, "0000", "정상 처리되었습니다."},
    {ResultCode::kNotMember, "S101", "가입되지 않은 사용자입니다."},
    {ResultCode::kAlreadyMember, "S102", "이미 가입된 사용자입니다."},
    {ResultCode::kWrongOtp, "S103", "OTP 값이 일치하지 않습니다."},
    {ResultCode::kNoOtp, "S104", "발급된 OTP가 없습니다."},
    {ResultCode::kExpiredOtp, "S105", "OTP 유효시간이 지났습니다."},
    {ResultCode::kLocked, "S106", "인증 오류 횟수 초과로 사용이 제한되었습니다."},
    {ResultCode::kUnknownSite, "S201", "등록되지 않은 사이트입니다."},
    {ResultCode::kBlockDoesNotOpen, "S202", "사용자 정보를 복호화할 수 없습니다."},
    {ResultCode::kMalformedFrame, "S203", "요청 전문 형식 오류입니다."},
    {ResultCode::kUnknownTransaction, "S204", "알 수 없는 거래 코드입니다."},
    {ResultCode::kDeliveryFailed, "S301", "OTP를 전달하지 못했습니다."},
    {ResultCode::kSubscriberLimit, "S302", "가입자 수가 한도에 도달했습니다."},
    {ResultCode::kStateFailed, "S303", "서비스 상태를 저장하거나 읽지 못했습니다."},
}};

std::optional<MessageTable> MessageTable::load() {
    MessageTable table;
    for (std::size_t i = 0; i < kResults.size(); ++i) {
        std::optional<std::string> text = utf8ToCp949(kResults[i].utf8Message);
        if (!text) {
            return std::nullopt;
        }
        table.cp949_[i] = std::move(*text);
    }
    return table;
}

}  // namespace otpd
