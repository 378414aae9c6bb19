#include "strova/still/StillFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace strova::still {
namespace {

constexpr uint32_t kInfoHeaderSize = 40;
constexpr int kMaxSide = 8192;

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int BytesPerPixel(PixelFormat f) {
  switch (f) {
    case PixelFormat::Rgb24:
    case PixelFormat::Bgr24: return 3;
    case PixelFormat::Bgrx: return 4;
    default: return 0;
  }
}

// Blue, green, red of one source pixel.
void Bgr(const uint8_t* p, PixelFormat f, int out[3]) {
  if (f == PixelFormat::Rgb24) {
    out[0] = p[2], out[1] = p[1], out[2] = p[0];
  } else {
    out[0] = p[0], out[1] = p[1], out[2] = p[2];
  }
}

void WriteInfoHeader(uint8_t* p, int w, int h, uint32_t imageSize) {
  Put32(p, kInfoHeaderSize);
  Put32(p + 4, static_cast<uint32_t>(w));
  Put32(p + 8, static_cast<uint32_t>(h));  // positive: bottom-up rows
  Put16(p + 12, 1);
  Put16(p + 14, 24);
  Put32(p + 16, 0);  // uncompressed
  Put32(p + 20, imageSize);
  Put32(p + 24, 2835);  // 72 dpi
  Put32(p + 28, 2835);
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::vector<uint8_t> MakeDib(const Frame& f, bool half) {
  const int bpp = BytesPerPixel(f.format);
  if (!f.data || bpp == 0 || f.width <= 0 || f.height <= 0 || f.width > kMaxSide || f.height > kMaxSide)
    return {};
  const int stride = f.stride > 0 ? f.stride : f.width * bpp;
  const int step = half && f.width >= 2 && f.height >= 2 ? 2 : 1;
  const int w = f.width / step, h = f.height / step;
  const size_t row = (static_cast<size_t>(w) * 3 + 3) & ~size_t(3);
  std::vector<uint8_t> dib(kInfoHeaderSize + row * h, 0);
  WriteInfoHeader(dib.data(), w, h, static_cast<uint32_t>(row * h));
  for (int y = 0; y < h; ++y) {
    uint8_t* out = dib.data() + kInfoHeaderSize + row * (h - 1 - y);
    for (int x = 0; x < w; ++x) {
      int sum[3] = {0, 0, 0};
      for (int dy = 0; dy < step; ++dy)
        for (int dx = 0; dx < step; ++dx) {
          int c[3];
          Bgr(f.data + static_cast<size_t>(y * step + dy) * stride + static_cast<size_t>(x * step + dx) * bpp,
              f.format, c);
          for (int i = 0; i < 3; ++i) sum[i] += c[i];
        }
      for (int i = 0; i < 3; ++i) out[x * 3 + i] = static_cast<uint8_t>(sum[i] / (step * step));
    }
  }
  return dib;
}

std::array<uint8_t, 14> BmpFileHeader(uint32_t dibSize) {
  std::array<uint8_t, 14> h{};
  h[0] = 'B';
  h[1] = 'M';
  Put32(h.data() + 2, 14 + dibSize);
  Put32(h.data() + 10, 14 + kInfoHeaderSize);
  return h;
}

bool WriteBmpFile(const std::string& path, const std::vector<uint8_t>& dib) {
  if (path.empty() || dib.size() < kInfoHeaderSize) return false;
  const std::string temp = path + ".part";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  auto header = BmpFileHeader(static_cast<uint32_t>(dib.size()));
  bool ok = WriteAll(fd, header.data(), header.size()) && WriteAll(fd, dib.data(), dib.size()) &&
            ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace strova::still
