#pragma once

#include "core/phone/QrCode.h"

namespace linlangok {

// QR codes through libqrencode.
class CQrencodeEncoder final : public IQrEncoder {
public:
    QrCode Encode(std::string_view text) const override;
};

} // namespace linlangok
