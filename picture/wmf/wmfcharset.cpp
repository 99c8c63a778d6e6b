#include "picture/wmf/wmfcharset.h"

#include <QStringDecoder>

namespace lumora::picture::wmf {

namespace {

constexpr int kAnsiCharset = 0;
constexpr int kDefaultCharset = 1;
constexpr int kSymbolCharset = 2;

// Windows-1252 at 0x80 to 0x9F; the rest is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// The Symbol font's encoding from 0x20 to 0xFF (0 where it has no character).
constexpr char16_t kSymbol[224] = {
    // 0x20
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B,
    0x002C, 0x2212, 0x002E, 0x002F,
    // 0x30
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B,
    0x003C, 0x003D, 0x003E, 0x003F,
    // 0x40
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A,
    0x039B, 0x039C, 0x039D, 0x039F,
    // 0x50
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B,
    0x2234, 0x005D, 0x22A5, 0x005F,
    // 0x60
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA,
    0x03BB, 0x03BC, 0x03BD, 0x03BF,
    // 0x70
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B,
    0x007C, 0x007D, 0x223C, 0,
    // 0x80 and 0x90: not used
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0xA0
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194,
    0x2190, 0x2191, 0x2192, 0x2193,
    // 0xB0
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248,
    0x2026, 0x23D0, 0x23AF, 0x21B5,
    // 0xC0
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284,
    0x2282, 0x2286, 0x2208, 0x2209,
    // 0xD0
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4,
    0x21D0, 0x21D1, 0x21D2, 0x21D3,
    // 0xE0
    0x25CA, 0x27E8, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3,
    0x23A7, 0x23A8, 0x23A9, 0x23AA,
    // 0xF0
    0, 0x27E9, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5, 0x23A6,
    0x23AB, 0x23AC, 0x23AD, 0};

const char *codecName(int charSet)
{
    switch (charSet) {
    case 77:
        return "macintosh";
    case 128:
        return "Shift_JIS";
    case 129:
        return "windows-949";
    case 130:
        return "x-Johab";
    case 134:
        return "GBK";
    case 136:
        return "Big5";
    case 161:
        return "windows-1253";
    case 162:
        return "windows-1254";
    case 163:
        return "windows-1258";
    case 177:
        return "windows-1255";
    case 178:
        return "windows-1256";
    case 186:
        return "windows-1257";
    case 204:
        return "windows-1251";
    case 222:
        return "windows-874";
    case 238:
        return "windows-1250";
    case 255:
        return "IBM437";
    default:
        return nullptr;
    }
}

QString decodeCp1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        d[i] = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return out;
}

// The kinds of face a metafile may name, each with families of its metrics that Linux
// desktops have.
enum class Look { Serif, Sans, WideSans, Narrow, Mono };

const QStringList &substitutes(Look look)
{
    static const QStringList kSerif = {"Liberation Serif",   "Tinos",        "Nimbus Roman",
                                       "Nimbus Roman No9 L", "DejaVu Serif", "Serif"};
    static const QStringList kSans = {"Liberation Sans", "Arimo",       "Nimbus Sans",
                                      "Nimbus Sans L",   "DejaVu Sans", "Sans Serif"};
    static const QStringList kWideSans = {"DejaVu Sans", "Liberation Sans", "Sans Serif"};
    static const QStringList kNarrow = {"Liberation Sans Narrow", "Nimbus Sans Narrow",
                                        "DejaVu Sans Condensed", "Sans Serif"};
    static const QStringList kMono = {"Liberation Mono", "Cousine",          "Nimbus Mono PS",
                                      "Nimbus Mono L",   "DejaVu Sans Mono", "Monospace"};
    switch (look) {
    case Look::Serif:
        return kSerif;
    case Look::WideSans:
        return kWideSans;
    case Look::Narrow:
        return kNarrow;
    case Look::Mono:
        return kMono;
    case Look::Sans:
        break;
    }
    return kSans;
}

struct KnownFace {
    const char *face; // lower case
    Look look;
    const char *first; // a closer match to try before the look's families
};

constexpr KnownFace kKnownFaces[] = {
    {"times new roman", Look::Serif, nullptr},
    {"times", Look::Serif, nullptr},
    {"tms rmn", Look::Serif, nullptr},
    {"ms serif", Look::Serif, nullptr},
    {"garamond", Look::Serif, nullptr},
    {"georgia", Look::Serif, nullptr},
    {"cambria", Look::Serif, nullptr},
    {"bookman old style", Look::Serif, "URW Bookman"},
    {"book antiqua", Look::Serif, "P052"},
    {"palatino linotype", Look::Serif, "P052"},
    {"palatino", Look::Serif, "P052"},
    {"century schoolbook", Look::Serif, "C059"},
    {"arial", Look::Sans, nullptr},
    {"helvetica", Look::Sans, nullptr},
    {"helv", Look::Sans, nullptr},
    {"ms sans serif", Look::Sans, nullptr},
    {"microsoft sans serif", Look::Sans, nullptr},
    {"ms shell dlg", Look::Sans, nullptr},
    {"swiss", Look::Sans, nullptr},
    {"system", Look::Sans, nullptr},
    {"small fonts", Look::Sans, nullptr},
    {"calibri", Look::Sans, "Carlito"},
    {"segoe ui", Look::Sans, nullptr},
    {"arial unicode ms", Look::Sans, nullptr},
    {"century gothic", Look::Sans, "URW Gothic"},
    {"tahoma", Look::WideSans, nullptr},
    {"verdana", Look::WideSans, nullptr},
    {"arial narrow", Look::Narrow, nullptr},
    {"courier new", Look::Mono, nullptr},
    {"courier", Look::Mono, nullptr},
    {"lucida console", Look::Mono, nullptr},
    {"consolas", Look::Mono, nullptr},
    {"fixedsys", Look::Mono, nullptr},
    {"terminal", Look::Mono, nullptr},
    {"modern", Look::Mono, nullptr},
};

// A face the table does not know: the family of the pitch-and-family byte.
Look lookOfFamily(quint8 pitchAndFamily)
{
    switch (pitchAndFamily >> 4) {
    case 1: // FF_ROMAN
        return Look::Serif;
    case 3: // FF_MODERN
        return Look::Mono;
    default: // FF_SWISS and the rest; a fixed pitch makes it monospaced
        return (pitchAndFamily & 3) == 1 ? Look::Mono : Look::Sans;
    }
}

} // namespace

QStringList fontFamilies(const QString &face, quint8 pitchAndFamily)
{
    QStringList out;
    if (!face.isEmpty())
        out.append(face);
    const QString key = face.toLower();
    for (const KnownFace &known : kKnownFaces) {
        if (key == QLatin1String(known.face)) {
            if (known.first)
                out.append(QString::fromLatin1(known.first));
            return out + substitutes(known.look);
        }
    }
    return out + substitutes(lookOfFamily(pitchAndFamily));
}

bool isMultiByteCharset(int charSet)
{
    return charSet == 128 || charSet == 129 || charSet == 130 || charSet == 134 || charSet == 136;
}

bool usesSymbolEncoding(int charSet, const QString &face)
{
    // DEFAULT_CHARSET lets the face decide: the Symbol font brings its own encoding.
    return (charSet == kSymbolCharset || charSet == kDefaultCharset) &&
           face.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0;
}

QString decodeCharset(QByteArrayView bytes, int charSet, const QString &face)
{
    if (charSet == kSymbolCharset || usesSymbolEncoding(charSet, face)) {
        if (!usesSymbolEncoding(charSet, face))
            return QString::fromLatin1(bytes.data(), bytes.size());
        QString out(bytes.size(), Qt::Uninitialized);
        QChar *d = out.data();
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const uchar b = uchar(bytes[i]);
            const char16_t c = b >= 0x20 ? kSymbol[b - 0x20] : char16_t(b);
            d[i] = QChar(c ? c : char16_t(0x0020));
        }
        return out;
    }
    if (charSet != kAnsiCharset && charSet != kDefaultCharset) {
        if (const char *name = codecName(charSet)) {
            QStringDecoder decoder(name);
            if (decoder.isValid())
                return decoder.decode(bytes);
        }
    }
    return decodeCp1252(bytes);
}

} // namespace lumora::picture::wmf
