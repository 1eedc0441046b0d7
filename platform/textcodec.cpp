#include "platform/textcodec.h"

#include "core/text.h"

#include <QStringDecoder>

namespace platform {

QString DecodeText(std::string_view bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (!utf8.hasError())
        return text;
    return QString::fromStdString(kestrow::Cp1252ToUtf8(bytes));
}

std::string EncodeText(const QString& text)
{
    return text.toUtf8().toStdString();
}

} // namespace platform
