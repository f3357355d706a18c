#pragma once

#include <QByteArray>
#include <QString>

// Text decoding as browsers do it: a charset label names the encoding the
// WHATWG Encoding Standard maps it to, so "gb2312" reads as GBK and
// "iso-8859-1" or "us-ascii" as windows-1252, whatever the label claims.
class WebEncoding
{
public:
    // The name a decoder knows the label's encoding by; empty for an unknown label.
    static QByteArray decoderName(const QByteArray &label);
    // Decodes bytes under a label; unknown or empty labels give UTF-8.
    static QString decode(const QByteArray &bytes, const QByteArray &label);
};
