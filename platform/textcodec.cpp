#include "platform/textcodec.h"

#include "core/text.h"

#include <QStringDecoder>

namespace platform {

QString DecodeText(std::string_view bytes)
{
    // Whether the bytes are UTF-8 is Kestrow's own rule to decide, not the decoder's; and
    // unlike QString::fromUtf8, the decoder can be told to keep a leading byte order mark.
    const std::string utf8 = kestrow::StoredAsUtf8(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(QByteArrayView(utf8.data(), qsizetype(utf8.size())));
}

std::string EncodeText(const QString& text)
{
    return text.toUtf8().toStdString();
}

} // namespace platform
