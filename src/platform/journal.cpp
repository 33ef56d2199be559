#include "platform/journal.h"

#include <cstring>

namespace brisel::platform {
namespace {

constexpr char kHeaderMark[8] = {'B', 'R', 'I', 'S', 'E', 'L', 'J', '2'};
constexpr char kUnmaskedHeaderMark[8] = {'B', 'R', 'I', 'S', 'E', 'L', 'J', '1'};  // without a fingerprint
constexpr char kRecordMark[4] = {'B', 'R', 'J', 'M'};
constexpr char kUnmaskedRecordMark[4] = {'B', 'R', 'J', 'R'};  // without a painted mask
constexpr size_t kRecordHead = 4 + 8 + 4 * 4;
constexpr size_t kChecksumBytes = 8;
// A picture's identity is a path or a layer's name: never this long.
constexpr uint32_t kLongestIdentity = 1 << 16;

// A checksum that catches a torn write or a flipped bit, eight bytes at a time (a 64-bit multiply and shift
// per word, as murmur's finaliser mixes): the writer's thread pays it once per record.
uint64_t Checksum(const char* bytes, size_t n) {
  uint64_t h = 0x9e3779b97f4a7c15ull ^ (n * 0xff51afd7ed558ccdull);
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    h = (h ^ word) * 0xc4ceb9fe1a85ec53ull;
    h ^= h >> 29;
  }
  uint64_t tail = 0;
  std::memcpy(&tail, bytes + i, n - i);
  h = (h ^ tail) * 0xc4ceb9fe1a85ec53ull;
  return h ^ (h >> 32);
}

template <class T>
void Put(std::string& out, T value) {
  for (size_t k = 0; k < sizeof(T); ++k) out.push_back(char(uint64_t(value) >> (8 * k) & 0xff));
}

template <class T>
T Get(const char* at) {
  uint64_t value = 0;
  for (size_t k = 0; k < sizeof(T); ++k) value |= uint64_t(uint8_t(at[k])) << (8 * k);
  return T(value);
}

void PutChecksum(std::string& out, size_t from) { Put<uint64_t>(out, Checksum(out.data() + from, out.size() - from)); }

bool ChecksumHolds(std::string_view bytes, size_t from, size_t to) {
  return Get<uint64_t>(bytes.data() + to) == Checksum(bytes.data() + from, to - from);
}


// A whole record at the start of bytes whose rectangle lies in a width x height picture; size 0 when there
// is none (cut short, damaged, or something else).
struct RecordView {
  uint64_t sequence = 0;
  int32_t x = 0, y = 0, w = 0, h = 0;
  const char* pixels = nullptr;
  const char* mask = nullptr;  // none: an earlier version's record
  size_t size = 0;
};

RecordView ReadRecord(std::string_view bytes, int32_t width, int32_t height) {
  RecordView record;
  if (bytes.size() < kRecordHead) return record;
  const bool masked = std::memcmp(bytes.data(), kRecordMark, sizeof kRecordMark) == 0;
  if (!masked && std::memcmp(bytes.data(), kUnmaskedRecordMark, sizeof kUnmaskedRecordMark) != 0) return record;
  const char* head = bytes.data();
  const int32_t x = Get<int32_t>(head + 12), y = Get<int32_t>(head + 16);
  const int32_t w = Get<int32_t>(head + 20), h = Get<int32_t>(head + 24);
  if (x < 0 || y < 0 || w <= 0 || h <= 0 || w > width - x || h > height - y) return record;
  const uint64_t size = JournalRecordSize(w, h, masked);
  if (bytes.size() < size || !ChecksumHolds(bytes, 0, size_t(size) - kChecksumBytes)) return record;
  const char* pixels = head + kRecordHead;
  return {Get<uint64_t>(head + 4), x, y, w, h, pixels, masked ? pixels + 3 * size_t(w) * size_t(h) : nullptr,
          size_t(size)};
}

void Write(const RecordView& record, BytePlane* const (&planes)[3]) {
  const char* pixels = record.pixels;
  for (BytePlane* plane : planes)
    for (int32_t row = record.y; row < record.y + record.h; ++row, pixels += record.w)
      std::memcpy(&(*plane)(record.x, row), pixels, size_t(record.w));
}

// Bits from `bit` on, one a byte, into `to`.
void Unpack(const char* bits, size_t bit, uint8_t* to, int32_t n) {
  for (int32_t i = 0; i < n; ++i, ++bit) to[i] = uint8_t(bits[bit / 8]) >> (bit % 8) & 1;
}

void WriteMask(const RecordView& record, BytePlane& painted) {
  for (int32_t row = record.y; row < record.y + record.h; ++row) {
    uint8_t* to = &painted(record.x, row);
    if (record.mask) Unpack(record.mask, size_t(row - record.y) * size_t(record.w), to, record.w);
    else std::memset(to, 1, size_t(record.w));
  }
}

// The painted mask of rectangle (x, y, w, h) of the planes against base, a bit a pixel: a pixel is painted
// where any of its channels differs.
void AppendMask(std::string& out, int32_t x, int32_t y, int32_t w, int32_t h, const BytePlane* const (&planes)[3],
                const PlaneTriple& base) {
  const size_t first = out.size();
  out.resize(first + (size_t(w) * size_t(h) + 7) / 8);
  char* to = out.data() + first;
  uint8_t byte = 0;
  size_t bit = 0;
  for (int32_t row = y; row < y + h; ++row) {
    const uint8_t *r = planes[0]->row(row) + x, *g = planes[1]->row(row) + x, *b = planes[2]->row(row) + x;
    const uint8_t *r0 = base[0].row(row) + x, *g0 = base[1].row(row) + x, *b0 = base[2].row(row) + x;
    for (int32_t i = 0; i < w; ++i) {
      byte |= uint8_t(((r[i] ^ r0[i]) | (g[i] ^ g0[i]) | (b[i] ^ b0[i])) != 0) << (bit % 8);
      if (++bit % 8 == 0) *to++ = char(byte), byte = 0;
    }
  }
  if (bit % 8 != 0) *to = char(byte);
}

bool Fits(const BytePlane& plane, const JournalHeader& header) {
  return plane.width() == header.width && plane.height() == header.height;
}

}  // namespace

uint64_t PlanesFingerprint(const BytePlane& red, const BytePlane& green, const BytePlane& blue) {
  uint64_t h = Checksum(reinterpret_cast<const char*>(std::array<int32_t, 2>{red.width(), red.height()}.data()), 8);
  for (const BytePlane* plane : {&red, &green, &blue})
    h = (h ^ Checksum(reinterpret_cast<const char*>(plane->data()), plane->size())) * 0x9e3779b97f4a7c15ull;
  return h ^ (h >> 31);
}

std::string JournalHeaderBytes(const JournalHeader& header) {
  std::string out(header.fingerprint ? kHeaderMark : kUnmaskedHeaderMark, sizeof kHeaderMark);
  Put<uint64_t>(out, header.base);
  Put<int32_t>(out, header.width);
  Put<int32_t>(out, header.height);
  if (header.fingerprint) Put<uint64_t>(out, *header.fingerprint);
  Put<uint32_t>(out, uint32_t(header.picture.size()));
  out += header.picture;
  PutChecksum(out, 0);
  return out;
}

std::string PaintedMaskBits(int32_t x, int32_t y, int32_t w, int32_t h, const BytePlane& red, const BytePlane& green,
                            const BytePlane& blue, const PlaneTriple& base) {
  std::string out;
  AppendMask(out, x, y, w, h, {&red, &green, &blue}, base);
  return out;
}

BytePlane UnpackPaintedMask(std::string_view bits, int32_t w, int32_t h) {
  BytePlane painted(w, h);
  if (bits.size() != (painted.size() + 7) / 8) return BytePlane();  // not this rectangle's mask
  for (int32_t row = 0; row < h; ++row) Unpack(bits.data(), size_t(row) * size_t(w), painted.row(row), w);
  return painted;
}

uint64_t JournalRecordSize(int32_t w, int32_t h, bool masked) {
  const uint64_t pixels = uint64_t(w) * uint64_t(h);
  return kRecordHead + 3 * pixels + (masked ? (pixels + 7) / 8 : 0) + kChecksumBytes;
}

std::string JournalRecordBytes(uint64_t sequence, int32_t x, int32_t y, int32_t w, int32_t h, const BytePlane& red,
                               const BytePlane& green, const BytePlane& blue, const PlaneTriple* base) {
  std::string out;
  out.reserve(size_t(JournalRecordSize(w, h, base != nullptr)));
  out.append(base ? kRecordMark : kUnmaskedRecordMark, sizeof kRecordMark);
  Put<uint64_t>(out, sequence);
  for (const int32_t v : {x, y, w, h}) Put<int32_t>(out, v);
  const BytePlane* const planes[3] = {&red, &green, &blue};
  for (const BytePlane* plane : planes)
    for (int32_t row = y; row < y + h; ++row) out.append(reinterpret_cast<const char*>(plane->row(row) + x), size_t(w));
  if (base) AppendMask(out, x, y, w, h, planes, *base);
  PutChecksum(out, 0);
  return out;
}

JournalReplay ReplayJournal(std::string_view bytes, uint64_t after, BytePlane* red, BytePlane* green, BytePlane* blue,
                            BytePlane* painted) {
  JournalReplay replay;
  if (bytes.size() < sizeof kHeaderMark) return replay;
  const bool withFingerprint = std::memcmp(bytes.data(), kHeaderMark, sizeof kHeaderMark) == 0;
  if (!withFingerprint && std::memcmp(bytes.data(), kUnmaskedHeaderMark, sizeof kHeaderMark) != 0) return replay;
  const size_t kFixedHeader = sizeof kHeaderMark + 8 + 4 + 4 + (withFingerprint ? 8 : 0) + 4;
  if (bytes.size() < kFixedHeader) return replay;
  const uint32_t n = Get<uint32_t>(bytes.data() + kFixedHeader - 4);
  if (n > kLongestIdentity || bytes.size() < kFixedHeader + n + kChecksumBytes ||
      !ChecksumHolds(bytes, 0, kFixedHeader + n))
    return replay;
  JournalHeader& header = replay.header;
  header.base = Get<uint64_t>(bytes.data() + 8);
  header.width = Get<int32_t>(bytes.data() + 16);
  header.height = Get<int32_t>(bytes.data() + 20);
  if (withFingerprint) header.fingerprint = Get<uint64_t>(bytes.data() + 24);
  header.picture.assign(bytes.data() + kFixedHeader, n);
  if (header.width <= 0 || header.height <= 0) return replay;
  replay.headerRead = true;
  replay.last = header.base;
  size_t at = kFixedHeader + n + kChecksumBytes;
  replay.goodBytes = at;
  BytePlane* planes[3] = {red, green, blue};
  // Records that follow a later copy than the one they are read over cannot be applied to it.
  const bool apply = header.base <= after && red && green && blue && Fits(*red, header) && Fits(*green, header) &&
                     Fits(*blue, header);
  const bool mask = apply && painted && Fits(*painted, header);
  for (RecordView record; (record = ReadRecord(bytes.substr(at), header.width, header.height)).size != 0;) {
    if (record.sequence != replay.last + 1) break;
    if (apply && record.sequence > after) {
      Write(record, planes);
      if (mask) WriteMask(record, *painted);
      ++replay.records;
    }
    replay.last = record.sequence;
    at += record.size;
    replay.goodBytes = at;
  }
  return replay;
}

bool ApplyJournalRecord(std::string_view record, BytePlane& red, BytePlane& green, BytePlane& blue) {
  const RecordView view = ReadRecord(record, red.width(), red.height());
  const auto sameSize = [&](const BytePlane& plane) {
    return plane.width() == red.width() && plane.height() == red.height();
  };
  if (view.size == 0 || !sameSize(green) || !sameSize(blue)) return false;
  Write(view, {&red, &green, &blue});
  return true;
}

std::string JournalPathOf(const std::string& copyPath) {
  const std::string_view png = ".png";
  const bool endsPng = copyPath.size() >= png.size() && copyPath.compare(copyPath.size() - png.size(), png.size(), png) == 0;
  return (endsPng ? copyPath.substr(0, copyPath.size() - png.size()) : copyPath) + ".journal";
}

}  // namespace brisel::platform
