#include "platform/qrcode/QrencodeEncoder.h"

#include <qrencode.h>

#include <memory>
#include <string>

namespace linlangok {

QrCode CQrencodeEncoder::Encode(std::string_view text) const
{
    QrCode code;
    if (text.find('\0') != std::string_view::npos)
        return code;
    const std::string terminated(text);
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> encoded(
        QRcode_encodeString8bit(terminated.c_str(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!encoded)
        return code;
    code.size = encoded->width;
    code.dark.resize(static_cast<size_t>(code.size) * code.size);
    for (size_t i = 0; i < code.dark.size(); ++i)
        code.dark[i] = encoded->data[i] & 1;
    return code;
}

} // namespace linlangok
