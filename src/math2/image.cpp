// Image correlation, colour conversions, the PNM reader and the parenthesis check.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <new>
#include <numbers>

#include "qmx/math2.h"

namespace qmx {

TPixelImage::TPixelImage(int32_t Width, int32_t Height) { SetSize(Width, Height); }

bool TPixelImage::SetSize(int32_t Width, int32_t Height, uint32_t Colour) {
  if (Width < 0 || Height < 0) return false;
  const uint64_t n = static_cast<uint64_t>(Width) * static_cast<uint64_t>(Height);
  if (n > (uint64_t(1) << 28)) return false;
  std::vector<uint32_t> pix;
  try {
    pix.assign(static_cast<std::size_t>(n), Colour & 0xFFFFFFu);
  } catch (const std::bad_alloc&) {
    return false;
  }
  FPix.swap(pix);
  FWidth = Width;
  FHeight = Height;
  return true;
}

namespace {

// Next header number of a PNM file (after white space and # comments); false when none.
bool HeaderNumber(std::istream& in, uint64_t& v) {
  int c = in.get();
  for (;;) {
    if (c == '#') {
      while (c != EOF && c != '\n') c = in.get();
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      c = in.get();
    } else {
      break;
    }
  }
  if (c < '0' || c > '9') return false;
  v = 0;
  while (c >= '0' && c <= '9') {
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > 0xFFFFFFFFu) return false;
    c = in.get();
  }
  // Exactly one white-space character ends the header's last number.
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

bool TPixelImage::LoadFromPNMFile(const std::string& FileName) {
  std::ifstream in(FileName, std::ios::binary);
  if (!in) return false;
  char magic[2];
  if (!in.read(magic, 2) || magic[0] != 'P' || (magic[1] != '5' && magic[1] != '6')) return false;
  const int ch = magic[1] == '6' ? 3 : 1;
  uint64_t w, h, maxv;
  if (!HeaderNumber(in, w) || !HeaderNumber(in, h) || !HeaderNumber(in, maxv)) return false;
  if (w == 0 || h == 0 || maxv == 0 || maxv > 65535 || w * h > (uint64_t(1) << 28)) return false;
  const int bps = maxv > 255 ? 2 : 1;
  // Check the size before allocating: the data must all be there.
  const auto start = in.tellg();
  in.seekg(0, std::ios::end);
  const auto end = in.tellg();
  const uint64_t need = w * h * static_cast<uint64_t>(ch * bps);
  if (start < 0 || end < start || static_cast<uint64_t>(end - start) < need) return false;
  in.seekg(start);
  std::vector<unsigned char> raw;
  TPixelImage img;
  try {
    raw.resize(static_cast<std::size_t>(need));
    if (!img.SetSize(static_cast<int32_t>(w), static_cast<int32_t>(h))) return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(need))) return false;
  auto sample = [&](std::size_t k) -> uint32_t {
    const uint32_t v = bps == 2 ? (uint32_t(raw[2 * k]) << 8) | raw[2 * k + 1] : raw[k];
    const uint32_t c = std::min<uint32_t>(v, static_cast<uint32_t>(maxv));
    return static_cast<uint32_t>((c * 255u * 2u + maxv) / (2u * maxv));  // rounded to 0..255
  };
  const std::size_t np = static_cast<std::size_t>(w * h);
  for (std::size_t i = 0; i < np; ++i) {
    uint32_t r, g, b;
    if (ch == 3) {
      r = sample(3 * i);
      g = sample(3 * i + 1);
      b = sample(3 * i + 2);
    } else {
      r = g = b = sample(i);
    }
    img.FPix[i] = r | (g << 8) | (b << 16);
  }
  *this = std::move(img);
  return true;
}

bool TPixelImage::SaveToPPMFile(const std::string& FileName) const {
  std::ofstream out(FileName, std::ios::binary);
  if (!out) return false;
  out << "P6\n" << FWidth << ' ' << FHeight << "\n255\n";
  std::vector<char> row(static_cast<std::size_t>(FWidth) * 3);
  for (int32_t y = 0; y < FHeight; ++y) {
    for (int32_t x = 0; x < FWidth; ++x) {
      const uint32_t p = Pixel(x, y);
      row[3 * x] = static_cast<char>(p & 0xFF);
      row[3 * x + 1] = static_cast<char>((p >> 8) & 0xFF);
      row[3 * x + 2] = static_cast<char>((p >> 16) & 0xFF);
    }
    out.write(row.data(), static_cast<std::streamsize>(row.size()));
  }
  out.flush();
  return static_cast<bool>(out);
}

double RGBtoGray(int32_t R, int32_t G, int32_t B) { return 0.299 * R + 0.587 * G + 0.114 * B; }

void RGBtoHSI(int32_t R, int32_t G, int32_t B, double& Hue, double& Saturation, double& Intensity) {
  const double r = R, g = G, b = B;
  Intensity = (r + g + b) / 3.0;
  const double mn = std::min({r, g, b});
  Saturation = Intensity > 0.0 ? 1.0 - mn / Intensity : 0.0;
  const double num = 0.5 * ((r - g) + (r - b));
  const double den = std::sqrt((r - g) * (r - g) + (r - b) * (g - b));
  if (den <= 0.0) {
    Hue = 0.0;  // a gray has no hue
    return;
  }
  const double theta = std::acos(std::clamp(num / den, -1.0, 1.0)) * 180.0 / std::numbers::pi;
  Hue = b <= g ? theta : 360.0 - theta;
}

namespace {

double Channel(uint32_t p, TImgCompareMode Mode) {
  const int32_t r = p & 0xFF, g = (p >> 8) & 0xFF, b = (p >> 16) & 0xFF;
  switch (Mode) {
    case icmRed: return r;
    case icmGreen: return g;
    case icmBlue: return b;
    case icmGrayValues: return RGBtoGray(r, g, b);
    case icmHue:
    case icmLightness:
    case icmSaturation: {
      double h, s, i;
      RGBtoHSI(r, g, b, h, s, i);
      return Mode == icmHue ? h : (Mode == icmLightness ? i : s);
    }
  }
  return 0.0;
}

}  // namespace

double CalcImgCorrelation(const TPixelImage* Img1, const TPixelImage* Img2, TImgRect Area1,
                          TImgRect Area2, TImgCompareMode Mode) {
  if (Img1 == nullptr || Img2 == nullptr) throw EQMXMath2Error("CalcImgCorrelation: missing image");
  const int64_t w1 = int64_t(Area1.Right) - Area1.Left, h1 = int64_t(Area1.Bottom) - Area1.Top;
  const int64_t w2 = int64_t(Area2.Right) - Area2.Left, h2 = int64_t(Area2.Bottom) - Area2.Top;
  if (w1 != w2 || h1 != h2) throw EQMXMath2Error("image ranges to compare are not of equal size");
  if (w1 < 0 || h1 < 0) return 0.0;
  auto inside = [](const TPixelImage* I, const TImgRect& A) {
    return A.Left >= 0 && A.Top >= 0 && A.Right < I->Width() && A.Bottom < I->Height();
  };
  if (!inside(Img1, Area1) || !inside(Img2, Area2))
    throw EQMXMath2Error("image ranges to compare exceed the image");
  const int32_t dx = Area2.Left - Area1.Left, dy = Area2.Top - Area1.Top;
  TCurveFit cf;
  for (int32_t x = Area1.Left; x <= Area1.Right; ++x)
    for (int32_t y = Area1.Top; y <= Area1.Bottom; ++y)
      cf.EnterStatValue(Channel(Img2->Pixel(x + dx, y + dy), Mode), Channel(Img1->Pixel(x, y), Mode));
  int32_t n;
  double mx, my, sx, sy, md, sd, rxy;
  cf.CalcStatistics(n, mx, my, sx, sy, md, sd, rxy);
  return n < 3 ? 0.0 : rxy;
}

int32_t CheckParanthInExp(const std::string& Expression) noexcept {
  int64_t count = 0;
  for (std::size_t i = 0; i < Expression.size(); ++i) {
    if (Expression[i] == '(') {
      ++count;
    } else if (Expression[i] == ')') {
      if (--count < 0) return -static_cast<int32_t>(std::min<std::size_t>(i + 1, INT32_MAX));
    }
  }
  return static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX));
}

}  // namespace qmx
