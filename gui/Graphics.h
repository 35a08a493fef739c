// Drawing objects of the GUI layer: colours, fonts, brushes, pens, canvases
// and 32-bit bitmaps with premultiplied alpha.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "CriticalSection.h"
#include "UniqueHandle.h"

namespace Gui {

// Red in the low byte, then green, then blue; 0xFF0000NN is system colour NN.
using TColor = uint32_t;
constexpr TColor clNone = 0x1FFFFFFF;  // nothing is drawn
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clBtnFace = 0xFF000000 | COLOR_BTNFACE;
constexpr TColor clWindow = 0xFF000000 | COLOR_WINDOW;
constexpr TColor clWindowText = 0xFF000000 | COLOR_WINDOWTEXT;
constexpr TColor RGBColor(uint8_t R, uint8_t G, uint8_t B) { return TColor(R) | TColor(G) << 8 | TColor(B) << 16; }
// The plain RGB value of a colour, system colours resolved.
COLORREF ColorToRGB(TColor AColor);

// Base of the drawing objects: reports changes to whoever listens. When a
// change replaces the system object, the old one is released only after the
// listeners have run, so that whoever has it selected into a device context
// deselects it first.
class TGraphicsObject {
public:
  std::function<void()> OnChange;

protected:
  void Changed();
  // Sets an attribute the system object carries: the next use makes a new
  // object; the old one goes after the listeners.
  template <typename T, typename THandle>
  void SetAttribute(T& AField, const T& AValue, THandle& AHandle) {
    if (AField == AValue) return;
    AField = AValue;
    THandle old = std::move(AHandle);
    Changed();
  }
};

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;

enum class TFontQuality : uint8_t { fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType, fqClearTypeNatural };

class TFont : public TGraphicsObject {
public:
  TFont() = default;
  TFont(const TFont&) = delete;
  TFont& operator=(const TFont&) = delete;

  // Takes every attribute of ASource (not its listeners).
  void Assign(const TFont& ASource);
  bool SameAs(const TFont& AOther) const;

  const std::wstring& GetName() const { return FName; }
  void SetName(const std::wstring& AValue);
  // Negative: character height in pixels; positive: cell height.
  int GetHeight() const { return FHeight; }
  void SetHeight(int AValue);
  TFontStyles GetStyle() const { return FStyle; }
  void SetStyle(TFontStyles AValue);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor AValue);
  TFontQuality GetQuality() const { return FQuality; }
  void SetQuality(TFontQuality AValue);

  // The font object, created on first use and after each change.
  HFONT GetHandle() const;

private:
  std::wstring FName = L"Tahoma";
  int FHeight = -11;
  TFontStyles FStyle = 0;
  TColor FColor = clWindowText;
  TFontQuality FQuality = TFontQuality::fqDefault;
  mutable Velqora::TUniqueFont FHandle;
};

enum class TBrushStyle : uint8_t { bsSolid, bsClear };

class TBrush : public TGraphicsObject {
public:
  TColor GetColor() const { return FColor; }
  void SetColor(TColor AValue);
  TBrushStyle GetStyle() const { return FStyle; }
  void SetStyle(TBrushStyle AValue);
  void Assign(const TBrush& ASource);
  HBRUSH GetHandle() const;

private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = TBrushStyle::bsSolid;
  mutable Velqora::TUniqueBrush FHandle;
};

enum class TPenStyle : uint8_t { psSolid, psClear };

class TPen : public TGraphicsObject {
public:
  TColor GetColor() const { return FColor; }
  void SetColor(TColor AValue);
  int GetWidth() const { return FWidth; }
  void SetWidth(int AValue);
  TPenStyle GetStyle() const { return FStyle; }
  void SetStyle(TPenStyle AValue);
  void Assign(const TPen& ASource);
  HPEN GetHandle() const;

private:
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = TPenStyle::psSolid;
  mutable Velqora::TUniquePen FHandle;
};

class TBitmap32;

// Draws on a device context that someone else owns. The font, brush and pen
// are selected into it when drawing needs them and deselected when the
// device context is detached, or before a change releases one of them, so
// that no object is released while the device context has it selected.
class TCanvas {
public:
  TCanvas();
  ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  HDC GetHandle() const { return FHandle; }
  // Attaches ADC (0 detaches); the previous one gets its objects back.
  void SetHandle(HDC ADC);
  bool HandleAllocated() const { return FHandle != nullptr; }
  // The device context with the font, brush and pen selected (and the text
  // colour and background mode they set), for drawing with system calls;
  // raises without one.
  HDC DrawingHandle();

  // The canvas's own lock, held while a device context is attached for
  // someone: other threads wait for it (the thread that holds it may take
  // it again).
  void Lock() noexcept { FLock.Enter(); }
  void Unlock() noexcept { FLock.Leave(); }

  // SaveDC and RestoreDC(-1) on the attached device context, nothing
  // without one. The canvas's objects leave the device context first, so a
  // saved state never holds one of them (a restore cannot select an object
  // that was released meanwhile); they are selected again at their next
  // use.
  void SaveDC();
  void RestoreDC();

  TFont& Font() { return FFont; }
  TBrush& Brush() { return FBrush; }
  TPen& Pen() { return FPen; }

  // Selects the current font, brush and pen again (after someone else drew
  // on the device context).
  void Refresh();
  // Brush and pen back to their defaults (solid white, solid black one
  // pixel wide), the font AFont's: how each paint starts.
  void Reset(const TFont& AFont);
  // The clipping box of the device context, in logical units.
  RECT GetClipRect() const;

  void FillRect(const RECT& ARect);
  void FrameRect(const RECT& ARect);
  void Rectangle(const RECT& ARect);
  void MoveTo(int AX, int AY);
  void LineTo(int AX, int AY);
  void TextOut(int AX, int AY, std::wstring_view AText);
  SIZE TextExtent(std::wstring_view AText);
  // DrawTextExW with the canvas font and colour; returns the text height.
  int DrawText(std::wstring_view AText, RECT& ARect, UINT AFormat);
  // Draws ABitmap with its alpha channel at (AX, AY).
  void Draw(int AX, int AY, const TBitmap32& ABitmap);
  // Draws the part ASource of ABitmap into ADest, stretched to its size,
  // with its alpha channel and the constant opacity AOpacity: each pixel
  // becomes src * o / 255 + dst * (1 - src_alpha * o / 255^2). Empty
  // rectangles draw nothing.
  void DrawBitmap(const RECT& ADest, const TBitmap32& ABitmap, const RECT& ASource, uint8_t AOpacity);

private:
  // Bit n of the state: object n (font, brush, pen) is selected.
  enum : uint8_t { csFont = 1, csBrush = 2, csPen = 4 };
  void RequireState(uint8_t AState);
  void Select(uint8_t AState, HGDIOBJ AObject);
  void Deselect(uint8_t AState);
  void DeselectAll();

  Velqora::TCriticalSection FLock;
  HDC FHandle = nullptr;
  uint8_t FState = 0;
  HGDIOBJ FOld[3] = {};  // what the device context had before, per object
  TFont FFont;
  TBrush FBrush;
  TPen FPen;
};

// The state of a device context (objects, colours, origin, clipping),
// saved and given back on every path.
class TSavedDC {
public:
  explicit TSavedDC(HDC ADC) noexcept : FDC(ADC), FSaved(::SaveDC(ADC)) {}
  ~TSavedDC() {
    if (FSaved) ::RestoreDC(FDC, FSaved);
  }
  TSavedDC(const TSavedDC&) = delete;
  TSavedDC& operator=(const TSavedDC&) = delete;

private:
  HDC FDC;
  int FSaved;
};

// A 32-bit top-down DIB section whose pixels carry premultiplied alpha.
// Every way to fill it keeps that form (a PNG of any colour type decodes to
// it, opaque images with alpha 255); who writes pixels through ScanLine
// writes them premultiplied. PNG images are decoded by the system's imaging
// component, bound through the binding registry (DllRoutines must run), on a
// thread that is in a COM apartment or may join one for the call.
class TBitmap32 {
public:
  TBitmap32() = default;
  TBitmap32(const TBitmap32&) = delete;
  TBitmap32& operator=(const TBitmap32&) = delete;
  TBitmap32(TBitmap32&& ASource) noexcept { *this = std::move(ASource); }
  TBitmap32& operator=(TBitmap32&& ASource) noexcept {
    FHandle = std::move(ASource.FHandle);
    FBits = std::exchange(ASource.FBits, nullptr);
    FWidth = std::exchange(ASource.FWidth, 0);
    FHeight = std::exchange(ASource.FHeight, 0);
    return *this;
  }

  // Makes an AWidth x AHeight bitmap of transparent black (0 x 0 frees it).
  void SetSize(int AWidth, int AHeight);
  int GetWidth() const { return FWidth; }
  int GetHeight() const { return FHeight; }
  bool Empty() const { return !FHandle; }
  HBITMAP GetHandle() const { return FHandle.Get(); }
  // Pixel row AY: AWidth values 0xAARRGGBB, colour premultiplied by alpha.
  uint32_t* ScanLine(int AY) const { return FBits + size_t(AY) * size_t(FWidth); }

  // Decodes a PNG image (any colour type and bit depth). Bad data raises
  // ESystemError (the decoder's HRESULT), a system without the imaging
  // component EVelqoraInitException; either way the bitmap keeps what it had.
  void LoadFromPNG(const void* AData, size_t ASize);
  // Decodes the PNG stored as RT_RCDATA resource AName of AInstance.
  void LoadFromPNGResource(HINSTANCE AInstance, const wchar_t* AName);
  void Assign(const TBitmap32& ASource);

private:
  Velqora::TUniqueBitmap FHandle;
  uint32_t* FBits = nullptr;
  int FWidth = 0;
  int FHeight = 0;
};

// The library that decodes pictures; none restores the system's. A test
// names a library that does not exist to see a system without the decoder.
void SetPictureCodecLibrary(const wchar_t* AName);

// Each picture of the program decoded once for the process: between Start
// and Stop, TBitmap32::LoadFromPNGResource keeps what it decodes from
// AInstance's resources and copies it for every later load of the same
// name (the buttons share their strips, a page made again finds its
// pictures). Stop frees them.
namespace PictureCache {
void Start(HINSTANCE AInstance);
void Stop();
}  // namespace PictureCache

}  // namespace Gui
