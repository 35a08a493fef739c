// Panels, images and shapes.
#pragma once

#include "Controls.h"

namespace Gui {

enum class TBevelCut : uint8_t { bvNone, bvLowered, bvRaised, bvFlat };
enum TBevelEdge : uint8_t { beLeft = 1, beTop = 2, beRight = 4, beBottom = 8 };
using TBevelEdges = uint8_t;
constexpr TBevelEdges beAll = beLeft | beTop | beRight | beBottom;

// A windowed container with an optional bevelled or flat edge on chosen
// sides and an optional centred caption. The edge is drawn inside the
// bounds and does not shrink the client area.
class TPanel : public TCustomControl {
public:
  explicit TPanel(TComponent* AOwner);

  TBevelCut GetBevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TBevelCut AValue);
  TBevelEdges GetBevelEdges() const { return FBevelEdges; }
  void SetBevelEdges(TBevelEdges AValue);
  bool GetShowCaption() const { return FShowCaption; }
  void SetShowCaption(bool AValue);

protected:
  void Paint() override;

private:
  TBevelCut FBevelOuter = TBevelCut::bvRaised;
  TBevelEdges FBevelEdges = beAll;
  bool FShowCaption = true;
};

// Shows a 32-bit picture with its alpha channel, optionally centred.
class TImage : public TGraphicControl {
public:
  explicit TImage(TComponent* AOwner);

  TBitmap32& Picture() { return FPicture; }
  // Call after changing Picture().
  void PictureChanged() { Invalidate(); }
  bool GetCenter() const { return FCenter; }
  void SetCenter(bool AValue);

protected:
  void Paint() override;

private:
  TBitmap32 FPicture;
  bool FCenter = false;
};

enum class TShapeType : uint8_t { stRectangle };

// A rectangle outlined with the pen and filled with the brush; a shape one
// pen width high or wide is a line in the pen's colour.
class TShape : public TGraphicControl {
public:
  explicit TShape(TComponent* AOwner);

  TPen& Pen() { return FPen; }
  TBrush& Brush() { return FBrush; }

protected:
  void Paint() override;

private:
  TPen FPen;
  TBrush FBrush;
};

}  // namespace Gui
