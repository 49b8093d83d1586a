#pragma once
// The main window's layout in design pixels (96 per inch) and its control
// ids: one table that the window is built from and that the window test
// driver checks the running program against.
namespace vz::app::tarvo {

inline constexpr int kDesignDpi = 96;
inline constexpr int kClientWidth = 399;
inline constexpr int kClientHeight = 246;
inline constexpr int kStatusBarHeight = 22;
inline constexpr int kStatusPanel0Width = 300;
inline constexpr int kStatusPanel1Width = 50;
// During a run the step panel gives its right end to a progress bar.
inline constexpr int kStatusProgressWidth = 90;
inline constexpr int kFontPoints = 8;
inline constexpr wchar_t kFontFace[] = L"MS Sans Serif";
inline constexpr wchar_t kWindowClass[] = L"TTarvoWnd";
inline constexpr wchar_t kCaption[] = L"Vuzuz archive creator";
// The "..." button of a date-time field and the browse button of a
// directory field take the right end of their field's rectangle; the edit
// takes the rest.
inline constexpr int kDateButtonWidth = 16;
inline constexpr int kBrowseButtonWidth = 21;

// The window's system menu: "About Vuzuz archive creator..." (a
// WM_SYSCOMMAND id: below 0xF000, its low four bits clear).
inline constexpr unsigned kSysCommandAbout = 0x0A10;

// Control ids. Start and Close are the dialog manager's default and cancel
// ids, so Enter and Escape reach them.
enum ControlId : int {
  kIdStart = 1,  // IDOK
  kIdClose = 2,  // IDCANCEL
  kIdFormat = 101,
  kIdMsDir,
  kIdOutput,
  kIdFrom,
  kIdTo,
  kIdSelected,
  kIdDelete,
  kIdCreate,
  kIdImport,
  kIdStatusBar,
  kIdFirstLabel = 160,
};

// The button of a directory or date-time field.
constexpr int FieldButtonId(int fieldId) { return fieldId + 50; }
constexpr int FieldOfButton(int buttonId) { return buttonId - 50; }

enum class Kind { Combo, DirField, DateField, Button, CheckBox, Label };

struct ControlLayout {
  int id;
  Kind kind;
  const wchar_t* text;
  int left, top, width, height;
};

// In tab order; labels are not tab stops.
inline constexpr ControlLayout kControls[] = {
    {kIdFirstLabel + 0, Kind::Label, L"Create:", 16, 20, 80, 13},
    {kIdFormat, Kind::Combo, L"Vuzuz ZIP file (Server 4.0 format)", 104, 16, 281, 21},
    {kIdFirstLabel + 1, Kind::Label, L"From directory:", 16, 52, 80, 13},
    {kIdMsDir, Kind::DirField, L"", 104, 48, 281, 21},
    {kIdFirstLabel + 2, Kind::Label, L"Output directory:", 16, 84, 84, 13},
    {kIdOutput, Kind::DirField, L"", 104, 80, 281, 21},
    {kIdFirstLabel + 3, Kind::Label, L"Date range, from:", 16, 116, 86, 13},  // LblRange
    {kIdFrom, Kind::DateField, L"", 104, 112, 129, 21},
    {kIdFirstLabel + 4, Kind::Label, L"to:", 240, 116, 14, 13},
    {kIdTo, Kind::DateField, L"", 256, 112, 129, 21},
    {kIdStart, Kind::Button, L"&Start", 224, 189, 75, 25},
    {kIdClose, Kind::Button, L"Close", 304, 189, 75, 25},
    {kIdSelected, Kind::CheckBox, L"Process selected securities", 104, 144, 153, 17},
    {kIdDelete, Kind::CheckBox, L"Delete data", 288, 160, 97, 17},
    {kIdCreate, Kind::CheckBox, L"Create archives", 104, 160, 97, 17},
    {kIdImport, Kind::CheckBox, L"Smart import", 272, 144, 97, 17},
};

}  // namespace vz::app::tarvo
