// Image correlation, the colour conversions it uses, the parenthesis check of expression texts
// and the operator vocabulary of the expression language (declared only).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qmx/frame.h"

namespace qmx {

// Channel compared by CalcImgCorrelation.
enum TImgCompareMode {
  icmRed, icmBlue, icmGreen, icmHue, icmLightness, icmSaturation, icmGrayValues
};

enum TOperator {
  opNone, opNumber, opListElem, opAdd, opSubtract, opMultiply, opDivide, opMod, opPower, opGT,
  opGE, opLT, opLE, opEQ, opNE, opOpenParanth, opClosedParanth, opMinusSign, opPlusSign, opSine,
  opCosine, opTangens, opArcSin, opArcCos, opArcTan, opAbs, opSign, opSqrt, opSqr, opRound,
  opNDInt, opNDQuant, opNDDens, opSum, opMean, opVar, opPi, opTrue, opFalse, opExp, opLn, opLg,
  opGauss, opRand, opFrac, opInt, opAnd, opNot, opOr, opXor
};

// A bitmap of Width x Height 32-bit colours, red in the lowest byte, green in the second, blue
// in the third (the top byte is 0). Pixel (x, y) with x = 0..Width-1 from the left and
// y = 0..Height-1 from the top.
class TPixelImage {
 public:
  TPixelImage() = default;
  TPixelImage(int32_t Width, int32_t Height);
  int32_t Width() const noexcept { return FWidth; }
  int32_t Height() const noexcept { return FHeight; }
  // Resizes and fills with Colour; false (image unchanged) for negative sizes or more than
  // 2^28 pixels.
  bool SetSize(int32_t Width, int32_t Height, uint32_t Colour = 0);
  // Outside the image: 0 read, writes ignored.
  uint32_t Pixel(int32_t x, int32_t y) const noexcept {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0;
    return FPix[static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth) + static_cast<std::size_t>(x)];
  }
  void SetPixel(int32_t x, int32_t y, uint32_t Colour) noexcept {
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
    FPix[static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth) + static_cast<std::size_t>(x)] =
        Colour & 0xFFFFFFu;
  }
  static uint32_t RGB(uint8_t R, uint8_t G, uint8_t B) noexcept {
    return uint32_t(R) | (uint32_t(G) << 8) | (uint32_t(B) << 16);
  }
  // Binary PGM (P5) or PPM (P6) with a maximum value up to 65535 (scaled to 0..255, rounded);
  // comments are skipped. False, with the image unchanged, for anything else or a short file.
  bool LoadFromPNMFile(const std::string& FileName);
  // Binary PPM (P6, maximum 255); false when the file cannot be written completely.
  bool SaveToPPMFile(const std::string& FileName) const;

 private:
  int32_t FWidth = 0, FHeight = 0;
  std::vector<uint32_t> FPix;
};

// An area of pixels; Left..Right and Top..Bottom are both inclusive.
struct TImgRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Gray value 0.299 R + 0.587 G + 0.114 B (0..255).
double RGBtoGray(int32_t R, int32_t G, int32_t B);
// Hue (degrees 0..360, 0 for grays), saturation 1 - min/intensity (0..1, 0 for black) and
// intensity (R + G + B) / 3 (0..255).
void RGBtoHSI(int32_t R, int32_t G, int32_t B, double& Hue, double& Saturation, double& Intensity);

// Pearson correlation of a channel over two equally sized areas (icmHue compares the hue,
// icmLightness the intensity of RGBtoHSI). 0 for fewer than three pixels or a constant channel.
// Areas of different size raise "image ranges to compare are not of equal size"; areas
// reaching outside their image raise "image ranges to compare exceed the image".
double CalcImgCorrelation(const TPixelImage* Img1, const TPixelImage* Img2, TImgRect Area1,
                          TImgRect Area2, TImgCompareMode Mode);

// 0 when the parentheses balance, the number of unclosed "(" when positive, -p when the ")"
// at position p (1-based) closes nothing.
int32_t CheckParanthInExp(const std::string& Expression) noexcept;

}  // namespace qmx
