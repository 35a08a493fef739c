#include "Graphics.h"

#include <wincodec.h>

#include <cstring>
#include <memory>
#include <vector>

#include "ComObjects.h"
#include "Velqora.DllRoutines.h"
#include "Velqora.System.SysUtils.h"

using Velqora::TComRef;
using Velqora::TSelectObject;

namespace Gui {

COLORREF ColorToRGB(TColor AColor) {
  if ((AColor & 0xFF000000) == 0xFF000000) return GetSysColor(int(AColor & 0xFF));
  return AColor & 0x00FFFFFF;
}

void TGraphicsObject::Changed() {
  if (OnChange) OnChange();
}

// ---- TFont ----

void TFont::Assign(const TFont& ASource) {
  if (&ASource == this || SameAs(ASource)) return;
  FName = ASource.FName;
  FHeight = ASource.FHeight;
  FStyle = ASource.FStyle;
  FColor = ASource.FColor;
  FQuality = ASource.FQuality;
  Velqora::TUniqueFont old = std::move(FHandle);  // released after the listeners
  Changed();
}

bool TFont::SameAs(const TFont& AOther) const {
  return FName == AOther.FName && FHeight == AOther.FHeight && FStyle == AOther.FStyle && FColor == AOther.FColor &&
         FQuality == AOther.FQuality;
}

void TFont::SetName(const std::wstring& AValue) { SetAttribute(FName, AValue, FHandle); }

void TFont::SetHeight(int AValue) { SetAttribute(FHeight, AValue, FHandle); }

void TFont::SetStyle(TFontStyles AValue) { SetAttribute(FStyle, AValue, FHandle); }

void TFont::SetColor(TColor AValue) {
  if (FColor == AValue) return;
  FColor = AValue;
  Changed();  // the colour is not part of the font object
}

void TFont::SetQuality(TFontQuality AValue) { SetAttribute(FQuality, AValue, FHandle); }

HFONT TFont::GetHandle() const {
  if (!FHandle) {
    LOGFONTW lf{};
    lf.lfHeight = FHeight;
    lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (FStyle & fsItalic) != 0;
    lf.lfUnderline = (FStyle & fsUnderline) != 0;
    lf.lfStrikeOut = (FStyle & fsStrikeOut) != 0;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = BYTE(FQuality);  // the enumeration follows the LOGFONT values
    lf.lfPitchAndFamily = DEFAULT_PITCH;
    wcsncpy(lf.lfFaceName, FName.c_str(), LF_FACESIZE - 1);
    FHandle.Reset(CreateFontIndirectW(&lf));
  }
  // The stock font is nobody's to release: it is not kept.
  return FHandle ? FHandle.Get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// ---- TBrush, TPen ----

void TBrush::SetColor(TColor AValue) { SetAttribute(FColor, AValue, FHandle); }

void TBrush::SetStyle(TBrushStyle AValue) { SetAttribute(FStyle, AValue, FHandle); }

void TBrush::Assign(const TBrush& ASource) {
  SetColor(ASource.FColor);
  SetStyle(ASource.FStyle);
}

HBRUSH TBrush::GetHandle() const {
  if (!FHandle) {
    if (FStyle == TBrushStyle::bsClear || FColor == clNone) {
      LOGBRUSH lb{BS_NULL, 0, 0};
      FHandle.Reset(CreateBrushIndirect(&lb));
    } else {
      FHandle.Reset(CreateSolidBrush(ColorToRGB(FColor)));
    }
  }
  return FHandle.Get();
}

void TPen::SetColor(TColor AValue) { SetAttribute(FColor, AValue, FHandle); }

void TPen::SetWidth(int AValue) { SetAttribute(FWidth, AValue, FHandle); }

void TPen::SetStyle(TPenStyle AValue) { SetAttribute(FStyle, AValue, FHandle); }

void TPen::Assign(const TPen& ASource) {
  SetColor(ASource.FColor);
  SetWidth(ASource.FWidth);
  SetStyle(ASource.FStyle);
}

HPEN TPen::GetHandle() const {
  if (!FHandle) {
    bool none = FStyle == TPenStyle::psClear || FColor == clNone;
    FHandle.Reset(CreatePen(none ? PS_NULL : PS_SOLID, FWidth, none ? 0 : ColorToRGB(FColor)));
  }
  return FHandle.Get();
}

// ---- TCanvas ----

TCanvas::TCanvas() {
  // A changed object leaves the device context before its old system object
  // is released, and is selected again at its next use.
  FFont.OnChange = [this] { Deselect(csFont); };
  FBrush.OnChange = [this] { Deselect(csBrush); };
  FPen.OnChange = [this] { Deselect(csPen); };
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

void TCanvas::Select(uint8_t AState, HGDIOBJ AObject) {
  HGDIOBJ old = SelectObject(FHandle, AObject);
  HGDIOBJ& first = FOld[AState >> 1];  // 1, 2, 4 -> 0, 1, 2
  if (!first) first = old;
}

void TCanvas::Deselect(uint8_t AState) {
  HGDIOBJ& first = FOld[AState >> 1];
  if (FHandle && first) SelectObject(FHandle, first);
  first = nullptr;
  FState &= uint8_t(~AState);
}

void TCanvas::DeselectAll() {
  for (uint8_t state : {csFont, csBrush, csPen}) Deselect(state);
}

void TCanvas::SetHandle(HDC ADC) {
  if (ADC == FHandle) return;
  DeselectAll();
  FHandle = ADC;
}

void TCanvas::Refresh() { FState = 0; }

HDC TCanvas::DrawingHandle() {
  RequireState(csFont | csBrush | csPen);
  return FHandle;
}

void TCanvas::SaveDC() {
  if (!FHandle) return;
  DeselectAll();
  ::SaveDC(FHandle);
}

void TCanvas::RestoreDC() {
  if (!FHandle) return;
  DeselectAll();
  ::RestoreDC(FHandle, -1);
}

void TCanvas::Reset(const TFont& AFont) {
  FBrush.SetColor(clWhite);
  FBrush.SetStyle(TBrushStyle::bsSolid);
  FPen.SetColor(clBlack);
  FPen.SetWidth(1);
  FPen.SetStyle(TPenStyle::psSolid);
  FFont.Assign(AFont);
  Refresh();
}

void TCanvas::RequireState(uint8_t AState) {
  if (!FHandle) throw Velqora::Exception(L"Canvas does not allow drawing");
  uint8_t needed = AState & uint8_t(~FState);
  if (needed & csFont) {
    Select(csFont, FFont.GetHandle());
    SetTextColor(FHandle, ColorToRGB(FFont.GetColor()));
  }
  if (needed & csBrush) {
    Select(csBrush, FBrush.GetHandle());
    if (FBrush.GetStyle() == TBrushStyle::bsClear || FBrush.GetColor() == clNone) {
      SetBkMode(FHandle, TRANSPARENT);
    } else {
      SetBkColor(FHandle, ColorToRGB(FBrush.GetColor()));
      SetBkMode(FHandle, OPAQUE);
    }
  }
  if (needed & csPen) Select(csPen, FPen.GetHandle());
  FState |= needed;
}

RECT TCanvas::GetClipRect() const {
  RECT r{};
  if (FHandle) GetClipBox(FHandle, &r);
  return r;
}

void TCanvas::FillRect(const RECT& ARect) {
  RequireState(csBrush);
  ::FillRect(FHandle, &ARect, FBrush.GetHandle());
}

void TCanvas::FrameRect(const RECT& ARect) {
  RequireState(csBrush);
  ::FrameRect(FHandle, &ARect, FBrush.GetHandle());
}

void TCanvas::Rectangle(const RECT& ARect) {
  RequireState(csBrush | csPen);
  ::Rectangle(FHandle, ARect.left, ARect.top, ARect.right, ARect.bottom);
}

void TCanvas::MoveTo(int AX, int AY) {
  RequireState(csPen);
  MoveToEx(FHandle, AX, AY, nullptr);
}

void TCanvas::LineTo(int AX, int AY) {
  RequireState(csPen);
  ::LineTo(FHandle, AX, AY);
}

void TCanvas::TextOut(int AX, int AY, std::wstring_view AText) {
  RequireState(csFont | csBrush);
  ::TextOutW(FHandle, AX, AY, AText.data(), int(AText.size()));
}

SIZE TCanvas::TextExtent(std::wstring_view AText) {
  RequireState(csFont);
  SIZE size{};
  GetTextExtentPoint32W(FHandle, AText.data(), int(AText.size()), &size);
  return size;
}

int TCanvas::DrawText(std::wstring_view AText, RECT& ARect, UINT AFormat) {
  RequireState(csFont | csBrush);
  std::wstring text(AText);  // DrawTextExW may write into the text
  return DrawTextExW(FHandle, text.data(), int(text.size()), &ARect, AFormat, nullptr);
}

void TCanvas::Draw(int AX, int AY, const TBitmap32& ABitmap) {
  int w = ABitmap.GetWidth(), h = ABitmap.GetHeight();
  DrawBitmap({AX, AY, AX + w, AY + h}, ABitmap, {0, 0, w, h}, 255);
}

void TCanvas::DrawBitmap(const RECT& ADest, const TBitmap32& ABitmap, const RECT& ASource, uint8_t AOpacity) {
  if (ABitmap.Empty() || IsRectEmpty(&ADest) || IsRectEmpty(&ASource)) return;
  if (!FHandle) throw Velqora::Exception(L"Canvas does not allow drawing");
  Velqora::TUniqueMemoryDC source(CreateCompatibleDC(FHandle));
  if (!source) Velqora::ThrowLastOSError();
  TSelectObject select(source.Get(), ABitmap.GetHandle());
  BLENDFUNCTION blend{AC_SRC_OVER, 0, AOpacity, AC_SRC_ALPHA};
  GdiAlphaBlend(FHandle, ADest.left, ADest.top, ADest.right - ADest.left, ADest.bottom - ADest.top, source.Get(),
                ASource.left, ASource.top, ASource.right - ASource.left, ASource.bottom - ASource.top, blend);
}

// ---- TBitmap32 ----

void TBitmap32::SetSize(int AWidth, int AHeight) {
  if (AWidth < 0 || AHeight < 0) throw Velqora::Exception(L"Invalid bitmap size");
  FHandle.Reset();
  FBits = nullptr;
  FWidth = FHeight = 0;
  if (AWidth == 0 || AHeight == 0) return;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = AWidth;
  bi.bmiHeader.biHeight = -AHeight;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  Velqora::TUniqueBitmap bitmap(CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) Velqora::ThrowLastOSError();
  FHandle = std::move(bitmap);
  FBits = static_cast<uint32_t*>(bits);
  FWidth = AWidth;
  FHeight = AHeight;
  std::memset(FBits, 0, size_t(AWidth) * size_t(AHeight) * 4);
}

void TBitmap32::Assign(const TBitmap32& ASource) {
  if (&ASource == this) return;
  TBitmap32 copy;  // this bitmap keeps what it had if the copy fails
  copy.SetSize(ASource.FWidth, ASource.FHeight);
  if (copy.FBits) std::memcpy(copy.FBits, ASource.FBits, size_t(copy.FWidth) * size_t(copy.FHeight) * 4);
  *this = std::move(copy);
}

namespace {

// The pictures are decoded by the system's imaging component (Vista and
// later): the template carries no decoder of its own, and the system's
// security fixes reach the decoder. The library is no KnownDLL, so it is
// bound from the system folder through the binding registry.
const wchar_t* CodecLibrary = L"windowscodecs.dll";
constexpr UINT CodecSdkVersion = 0x0236;  // the imaging component of Vista

[[noreturn]] void RaiseInvalidPicture(HRESULT AResult) {
  std::wstring text = Velqora::SysErrorMessage(DWORD(AResult));
  throw Velqora::ESystemError(Velqora::Format(L"Invalid PNG image (error %.8x)%s%s",
                                              {uint64_t(uint32_t(AResult)), text.empty() ? L"" : L": ", text}),
                              DWORD(AResult));
}

void Check(HRESULT AResult) {
  if (FAILED(AResult)) RaiseInvalidPicture(AResult);
}

// The imaging component's factory; raises EVelqoraInitException when the
// system has none.
void CreateImagingFactory(TComRef<IWICImagingFactory>& AFactory) {
  using TCreate = HRESULT(WINAPI*)(UINT, IWICImagingFactory**);
  HRESULT result;
  try {
    result = Velqora::DllRoutines::Call<TCreate>(CodecLibrary, "WICCreateImagingFactory_Proxy")(
        CodecSdkVersion, AFactory.Put());
  } catch (const Velqora::Exception& e) {
    throw Velqora::EVelqoraInitException(L"The system cannot decode pictures: " + e.Message());
  }
  if (FAILED(result) || !AFactory.Get())
    throw Velqora::EVelqoraInitException(
        Velqora::Format(L"The system cannot decode pictures (error %.8x)", {uint64_t(uint32_t(result))}));
}

}  // namespace

void SetPictureCodecLibrary(const wchar_t* AName) { CodecLibrary = AName ? AName : L"windowscodecs.dll"; }

void TBitmap32::LoadFromPNG(const void* AData, size_t ASize) {
  constexpr UINT limit = 16384;  // bounds memory for hostile sizes
  if (ASize > MAXDWORD) RaiseInvalidPicture(WINCODEC_ERR_BADIMAGE);
  // The imaging component's objects live in a COM apartment.
  Velqora::TComApartment apartment;
  TComRef<IWICImagingFactory> factory;
  CreateImagingFactory(factory);
  TComRef<IWICStream> stream;
  Check(factory->CreateStream(stream.Put()));
  Check(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(AData)), DWORD(ASize)));
  // Only the PNG decoder: no other format reaches a decoder.
  TComRef<IWICBitmapDecoder> decoder;
  Check(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.Put()));
  Check(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand));
  TComRef<IWICBitmapFrameDecode> frame;
  Check(decoder->GetFrame(0, frame.Put()));
  UINT width = 0, height = 0;
  Check(frame->GetSize(&width, &height));
  if (width == 0 || height == 0 || width > limit || height > limit) RaiseInvalidPicture(WINCODEC_ERR_BADIMAGE);
  // Any colour type and bit depth to 8-bit straight BGRA; the alpha is
  // applied here, so the pixels are the same on every version of Windows.
  TComRef<IWICFormatConverter> converter;
  Check(factory->CreateFormatConverter(converter.Put()));
  Check(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                              WICBitmapPaletteTypeCustom));
  TBitmap32 result;
  result.SetSize(int(width), int(height));
  const size_t count = size_t(width) * size_t(height);
  Check(converter->CopyPixels(nullptr, width * 4, UINT(count * 4), reinterpret_cast<BYTE*>(result.FBits)));
  // Straight alpha to premultiplied.
  for (size_t i = 0; i < count; ++i) {
    uint32_t p = result.FBits[i];
    uint32_t a = p >> 24;
    if (a == 255) continue;
    auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
    result.FBits[i] = a << 24 | mul(p >> 16 & 0xFF) << 16 | mul(p >> 8 & 0xFF) << 8 | mul(p & 0xFF);
  }
  *this = std::move(result);
}

namespace {

// Decodes resource AName of AInstance into ABitmap.
void DecodeResource(TBitmap32& ABitmap, HINSTANCE AInstance, const wchar_t* AName) {
  HRSRC info = FindResourceW(AInstance, AName, MAKEINTRESOURCEW(10));  // RT_RCDATA
  if (!info) Velqora::ThrowLastOSError();
  HGLOBAL data = LoadResource(AInstance, info);
  const void* bytes = data ? LockResource(data) : nullptr;
  if (!bytes) Velqora::ThrowLastOSError();
  ABitmap.LoadFromPNG(bytes, SizeofResource(AInstance, info));
}

// The pictures of one module, each decoded once.
struct TPictureCache {
  HINSTANCE Instance = nullptr;
  Velqora::TCriticalSection Lock;
  std::vector<std::pair<std::wstring, TBitmap32>> Pictures;
};
constinit std::unique_ptr<TPictureCache> Cache;

}  // namespace

void TBitmap32::LoadFromPNGResource(HINSTANCE AInstance, const wchar_t* AName) {
  if (!Cache || AInstance != Cache->Instance || IS_INTRESOURCE(AName)) return DecodeResource(*this, AInstance, AName);
  Velqora::TLockGuard guard(Cache->Lock);
  for (const auto& [name, picture] : Cache->Pictures)
    if (name == AName) return Assign(picture);
  TBitmap32 picture;
  DecodeResource(picture, AInstance, AName);
  Assign(picture);
  Cache->Pictures.emplace_back(AName, std::move(picture));
}

namespace PictureCache {

void Start(HINSTANCE AInstance) {
  Cache = std::make_unique<TPictureCache>();
  Cache->Instance = AInstance;
}

void Stop() { Cache.reset(); }

}  // namespace PictureCache

}  // namespace Gui
