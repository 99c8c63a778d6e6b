// A mutator for fuzz_wmf that knows the shape of a metafile: it cuts the input into its header
// and whole records, changes one record's parameters, or inserts, deletes, duplicates or moves
// whole records, and writes the file back with every record size and the header's size fields
// consistent. Inputs so made pass the parser's structural checks and reach the player's
// drawing code, where byte-level mutation mostly produces files the parser refuses.
//
// One mutation in sixteen is libFuzzer's own, on the whole file, so that the parser's refusals
// stay covered. LUMORA_FUZZ_PLAIN_MUTATOR=1 turns this mutator off (to compare the two).
#include "picture/wmf/wmfformat.h"

#include <QByteArray>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

extern "C" size_t LLVMFuzzerMutate(uint8_t *data, size_t size, size_t maxSize);

namespace lumora::fuzz {
namespace {

namespace fn = picture::wmf::fn;
using picture::wmf::createsObject;
using picture::wmf::takesObjectIndex;
using Random = std::minstd_rand;

struct Record {
    quint16 function = fn::Eof;
    std::vector<qint16> params;
};

struct Metafile {
    QByteArray head; // placeable header (if any) and standard header
    std::vector<Record> records;
};

// Records the mutator writes from nothing, with their usual number of parameter words; the
// variable ones (polygons, text, bitmaps, regions, palettes) come from the seeds, copied.
struct Shape {
    quint16 function;
    int params;
};
constexpr std::array kShapes{
    Shape{fn::SaveDC, 0},
    Shape{fn::RestoreDC, 1},
    Shape{fn::SetBkMode, 1},
    Shape{fn::SetMapMode, 1},
    Shape{fn::SetRop2, 1},
    Shape{fn::SetPolyFillMode, 1},
    Shape{fn::SetStretchBltMode, 1},
    Shape{fn::SetTextAlign, 1},
    Shape{fn::SetTextCharExtra, 1},
    Shape{fn::SelectObject, 1},
    Shape{fn::DeleteObject, 1},
    Shape{fn::SelectClipRegion, 1},
    Shape{fn::SelectPalette, 1},
    Shape{fn::InvertRegion, 1},
    Shape{fn::PaintRegion, 1},
    Shape{fn::SetBkColor, 2},
    Shape{fn::SetTextColor, 2},
    Shape{fn::SetWindowOrg, 2},
    Shape{fn::SetWindowExt, 2},
    Shape{fn::SetViewportOrg, 2},
    Shape{fn::SetViewportExt, 2},
    Shape{fn::OffsetWindowOrg, 2},
    Shape{fn::OffsetViewportOrg, 2},
    Shape{fn::OffsetClipRgn, 2},
    Shape{fn::LineTo, 2},
    Shape{fn::MoveTo, 2},
    Shape{fn::FillRegion, 2},
    Shape{fn::ScaleWindowExt, 4},
    Shape{fn::ScaleViewportExt, 4},
    Shape{fn::ExcludeClipRect, 4},
    Shape{fn::IntersectClipRect, 4},
    Shape{fn::Ellipse, 4},
    Shape{fn::Rectangle, 4},
    Shape{fn::SetPixel, 4},
    Shape{fn::FloodFill, 4},
    Shape{fn::FrameRegion, 4},
    Shape{fn::CreateBrushIndirect, 4},
    Shape{fn::CreatePenIndirect, 5},
    Shape{fn::ExtFloodFill, 5},
    Shape{fn::RoundRect, 6},
    Shape{fn::PatBlt, 6},
    Shape{fn::Arc, 8},
    Shape{fn::Pie, 8},
    Shape{fn::Chord, 8},
    Shape{fn::Polygon, 7},
    Shape{fn::Polyline, 5},
};

int pick(Random &rng, int count)
{
    return count > 0 ? std::uniform_int_distribution<int>(0, count - 1)(rng) : 0;
}

bool parse(const uint8_t *data, size_t size, Metafile &metafile)
{
    const picture::wmf::ByteReader file(data, qsizetype(size));
    qsizetype at =
        file.u32(0) == picture::wmf::kPlaceableKey ? picture::wmf::kPlaceableHeaderBytes : 0;
    const qsizetype headerWords = file.u16(at + 2);
    if (!file.has(at, picture::wmf::kStandardHeaderBytes) || headerWords < 9 ||
        !file.has(at, headerWords * 2))
        return false;
    at += headerWords * 2;
    metafile.head = QByteArray(reinterpret_cast<const char *>(data), at);
    while (file.has(at, picture::wmf::kRecordHeaderBytes)) {
        const quint32 words = file.u32(at);
        if (words < 3 || !file.has(at, qsizetype(words) * 2))
            break;
        Record record{file.u16(at + 4), {}};
        for (quint32 i = 3; i < words; ++i)
            record.params.push_back(file.s16(at + qsizetype(i) * 2));
        metafile.records.push_back(std::move(record));
        at += qsizetype(words) * 2;
    }
    return true;
}

// A placeable header (a picture two inches wide at 1440 units an inch) and a standard one.
Metafile emptyMetafile()
{
    static const uchar head[] = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0, 0xA0, 0x0B, 0x40, 0x06,
                                 0xA0, 0x05, 0,    0,    0, 0, 0, 0, 1, 0, 9,    0,    0,    3,
                                 0,    0,    0,    0,    8, 0, 0, 0, 0, 0, 0,    0};
    return Metafile{QByteArray(reinterpret_cast<const char *>(head), sizeof head), {}};
}

void putU32(QByteArray &bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

QByteArray serialize(Metafile metafile)
{
    if (metafile.records.empty() || metafile.records.back().function != fn::Eof)
        metafile.records.push_back(Record{});
    QByteArray bytes = metafile.head;
    quint32 largest = 0;
    for (const Record &record : metafile.records) {
        const auto words = quint32(3 + record.params.size());
        largest = std::max(largest, words);
        const qsizetype at = bytes.size();
        bytes.resize(at + qsizetype(words) * 2);
        putU32(bytes, at, words);
        qToLittleEndian(record.function, bytes.data() + at + 4);
        for (size_t i = 0; i < record.params.size(); ++i)
            qToLittleEndian(record.params[i], bytes.data() + at + 6 + qsizetype(i) * 2);
    }
    const qsizetype standard =
        bytes.startsWith("\xD7\xCD\xC6\x9A") ? picture::wmf::kPlaceableHeaderBytes : 0;
    putU32(bytes, standard + 6, quint32(bytes.size() / 2));
    putU32(bytes, standard + 12, largest);
    if (standard > 0) { // the placeable header's checksum: its first ten words XORed
        quint16 sum = 0;
        for (int i = 0; i < 10; ++i)
            sum ^= qFromLittleEndian<quint16>(bytes.constData() + i * 2);
        qToLittleEndian(sum, bytes.data() + 20);
    }
    return bytes;
}

// A value for a parameter word: one the player treats specially, a small coordinate, an
// object slot, or the old value nudged or with one bit flipped.
qint16 plausibleValue(Random &rng, qint16 old, int objects)
{
    static constexpr std::array<qint16, 9> kSpecial{0, 1, -1, 2, 8, 0x7FFF, -0x8000, 255, 1440};
    switch (pick(rng, 5)) {
    case 0:
        return kSpecial[size_t(pick(rng, int(kSpecial.size())))];
    case 1:
        return qint16(pick(rng, 2000) - 500);
    case 2:
        return qint16(pick(rng, objects + 2));
    case 3:
        return qint16(old + pick(rng, 33) - 16);
    default:
        return qint16(old ^ (1 << pick(rng, 16)));
    }
}

int objectsBefore(const Metafile &metafile, size_t position)
{
    int count = 0;
    for (size_t i = 0; i < position && i < metafile.records.size(); ++i)
        count += createsObject(metafile.records[i].function) ? 1 : 0;
    return count;
}

// Polygons and polylines keep their point count in step with their parameters.
void keepCountsWhole(Record &record)
{
    if ((record.function == fn::Polygon || record.function == fn::Polyline) &&
        !record.params.empty())
        record.params[0] = qint16((record.params.size() - 1) / 2);
}

Record newRecord(Random &rng, int objects)
{
    const Shape shape = kShapes[size_t(pick(rng, int(kShapes.size())))];
    Record record{shape.function, std::vector<qint16>(size_t(shape.params))};
    std::generate(record.params.begin(), record.params.end(), [&] {
        return takesObjectIndex(shape.function) ? qint16(pick(rng, objects + 1))
                                                : qint16(pick(rng, 1200) - 100);
    });
    if (shape.function == fn::SetBkColor || shape.function == fn::SetTextColor ||
        shape.function == fn::CreateBrushIndirect || shape.function == fn::CreatePenIndirect)
        record.params[0] = qint16(pick(rng, 8)); // a style, or the colour's red and green
    keepCountsWhole(record);
    return record;
}

void mutateParameters(Metafile &metafile, Random &rng, size_t position)
{
    Record &record = metafile.records[position];
    if (record.params.empty()) {
        record = newRecord(rng, objectsBefore(metafile, position));
        return;
    }
    const int changes = 1 + pick(rng, 3);
    for (int i = 0; i < changes; ++i) {
        qint16 &param = record.params[size_t(pick(rng, int(record.params.size())))];
        param = plausibleValue(rng, param, objectsBefore(metafile, position));
    }
    if (pick(rng, 8) != 0)
        keepCountsWhole(record);
}

// Grows or shrinks a record by a few words, or lets libFuzzer change its parameter bytes.
void reshapeRecord(Record &record, Random &rng, size_t maxBytes)
{
    if (pick(rng, 2) == 0) {
        const size_t words = std::min<size_t>(record.params.size() + 8, maxBytes / 2);
        if (words == 0)
            return;
        std::vector<qint16> params = record.params;
        params.resize(words);
        const size_t used = LLVMFuzzerMutate(reinterpret_cast<uint8_t *>(params.data()),
                                             record.params.size() * 2, words * 2);
        params.resize(used / 2);
        record.params = std::move(params);
    } else if (pick(rng, 2) == 0 && !record.params.empty()) {
        record.params.resize(record.params.size() - 1);
    } else {
        record.params.resize(record.params.size() + size_t(1 + pick(rng, 4)));
    }
    keepCountsWhole(record);
}

void mutateRecords(Metafile &metafile, Random &rng, size_t maxBytes)
{
    auto &records = metafile.records;
    if (!records.empty() && records.back().function == fn::Eof)
        records.pop_back();
    const auto position = size_t(pick(rng, int(records.size()) + 1));
    const int kind = records.empty() ? 0 : pick(rng, 8);
    if (kind <= 1) {
        records.insert(records.begin() + std::ptrdiff_t(position),
                       newRecord(rng, objectsBefore(metafile, position)));
        return;
    }
    const auto chosen = size_t(pick(rng, int(records.size())));
    if (kind == 2) {
        records.erase(records.begin() + std::ptrdiff_t(chosen));
    } else if (kind == 3) {
        const Record copy = records[chosen];
        records.insert(records.begin() + std::ptrdiff_t(position), copy);
    } else if (kind == 4) {
        std::swap(records[chosen], records[std::min(position, records.size() - 1)]);
    } else if (kind == 5) {
        reshapeRecord(records[chosen], rng, maxBytes);
    } else {
        mutateParameters(metafile, rng, chosen);
    }
}

size_t mutate(uint8_t *data, size_t size, size_t maxSize, unsigned seed)
{
    Random rng(seed);
    Metafile metafile;
    if (pick(rng, 16) == 0 || !parse(data, size, metafile)) {
        if (pick(rng, 4) != 0)
            return LLVMFuzzerMutate(data, size, maxSize);
        metafile = emptyMetafile();
    }
    const int rounds = 1 + pick(rng, 3);
    for (int i = 0; i < rounds; ++i)
        mutateRecords(metafile, rng, maxSize);
    const QByteArray bytes = serialize(std::move(metafile));
    if (size_t(bytes.size()) > maxSize)
        return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, bytes.constData(), size_t(bytes.size()));
    return size_t(bytes.size());
}

} // namespace
} // namespace lumora::fuzz

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t *data, size_t size, size_t maxSize,
                                          unsigned int seed)
{
    static const bool plain = std::getenv("LUMORA_FUZZ_PLAIN_MUTATOR") != nullptr;
    if (plain)
        return LLVMFuzzerMutate(data, size, maxSize);
    return lumora::fuzz::mutate(data, size, maxSize, seed);
}
