// Forms and the application object with its message loop.
#pragma once

#include <exception>
#include <functional>
#include <string>

#include "ComObjects.h"
#include "Controls.h"

namespace Gui {

enum class TFormBorderStyle : uint8_t { bsNone, bsSingle, bsSizeable, bsDialog };
enum TBorderIcon : uint8_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
using TBorderIcons = uint8_t;
enum class TPosition : uint8_t { poDesigned, poScreenCenter };
enum class TCloseAction : uint8_t { caNone, caHide };

using TCloseEvent = std::function<void(TComponent* Sender, TCloseAction& Action)>;

// A top-level window. A form's constructor builds its components from its
// layout and then runs its creation handler.
class TForm : public TWinControl {
public:
  explicit TForm(TComponent* AOwner);
  ~TForm() override;

  TFormBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle AValue) { FBorderStyle = AValue; RecreateWnd(); }
  TBorderIcons GetBorderIcons() const { return FBorderIcons; }
  void SetBorderIcons(TBorderIcons AValue) { FBorderIcons = AValue; RecreateWnd(); }
  TPosition GetPosition() const { return FPosition; }
  void SetPosition(TPosition AValue) { FPosition = AValue; }
  // Gives the window a taskbar button of its own.
  bool GetShowInTaskbar() const { return FShowInTaskbar; }
  void SetShowInTaskbar(bool AValue) { FShowInTaskbar = AValue; RecreateWnd(); }
  // The client area's size; kept through window creation and frame changes.
  void SetClientSize(int AWidth, int AHeight);

  // Shows the form (making its window first) or hides it.
  void SetVisible(bool AValue) override;
  // Asks OnClose whether and how to close; closing the application's main
  // form ends the message loop, any other form is hidden.
  void Close();

  // What the button that closed a dialog stands for (0: none); the buttons
  // with a modal result set it when clicked.
  int GetModalResult() const { return FModalResult; }
  void SetModalResult(int AValue) { FModalResult = AValue; }

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TCloseEvent OnClose;

  void WndProc(TMessage& AMessage) override;
  RECT GetClientRect() const override;
  bool IsTopLevel() const override { return true; }

protected:
  void CreateParams(TCreateParams& AParams) override;
  void CreateWnd() override;
  // Runs OnCreate; form constructors call it once their components exist.
  void DoCreate();
  // Runs OnDestroy; form destructors call it while their components exist.
  void DoDestroy();
  virtual void DoClose(TCloseAction& AAction);

private:
  void ApplyClientSize();
  TFormBorderStyle FBorderStyle = TFormBorderStyle::bsSizeable;
  TBorderIcons FBorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition FPosition = TPosition::poDesigned;
  bool FShowInTaskbar = false;
  int FClientWidth = -1, FClientHeight = -1;
  HWND FLastFocused = nullptr;  // focus to give back on activation
  int FModalResult = 0;
  // The keyboard cues it hides (UISF_HIDEFOCUS, UISF_HIDEACCEL), kept by
  // the form itself: Wine's windows keep none.
  WORD FUIState = 0;
};

// The application object: the main form and the message loop.
class TApplication : public TComponent {
public:
  TApplication();
  ~TApplication() override;

  void Initialize() {}
  TForm* GetMainForm() const { return FMainForm; }
  // The first form the application owns becomes the main form unless one is
  // set; with MainFormOnTaskbar it gets a taskbar button of its own.
  void SetMainForm(TForm* AForm);
  bool MainFormOnTaskbar = true;
  const std::wstring& GetTitle() const { return FTitle; }
  void SetTitle(const std::wstring& AValue) { FTitle = AValue; }

  // Shows the main form and runs the message loop until Terminate.
  void Run();
  // Waits for one message and processes it.
  void HandleMessage();
  // Processes the messages that are waiting, without waiting.
  void ProcessMessages();
  void Terminate();
  bool GetTerminated() const { return FTerminated; }

  // Reports an exception that reached the message loop: OnException when
  // set, else the standard error message box.
  void HandleException(std::exception_ptr AError);
  std::function<void(std::exception_ptr)> OnException;

  // The error sink while an application object exists: a window procedure
  // caught AError and no call of ours waited for it; the loop reports it
  // once the message has been dispatched.
  static void QueueException(std::exception_ptr AError);
  // Reports what QueueException stored, if anything.
  void ReportQueuedException();

private:
  bool ProcessMessage(MSG& AMsg);
  bool IsKeyMessage(MSG& AMsg);
  // Entered first and left last, after the forms have gone.
  Velqora::TComApartment FApartment;
  TForm* FMainForm = nullptr;
  bool FTerminated = false;
  std::wstring FTitle;
};

// The process's application object while one exists.
extern TApplication* Application;

// The text of an exception for the user.
std::wstring ExceptionMessage(std::exception_ptr AError);

}  // namespace Gui
