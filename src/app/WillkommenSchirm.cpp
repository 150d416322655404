#include "app/WillkommenSchirm.h"

#include "app/Setup.h"
#include "forms/screen.h"
#include "program/program_state.h"
#include "system/Setup_API.h"

#include <array>
#include <cmath>

namespace app {
namespace {

struct Line {
    const char* text;
    COLORREF colour;
    float size; // points
    float top;  // twips
};

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kCyan = RGB(0, 255, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);

constexpr std::array<Line, 11> kLines = {{
    {"Es ist Zeit.", kBlue, 48, 240},
    {"Zeit für etwas neues.", kYellow, 27.75f, 1320},
    {"Zeit für Dovek’s Zepanu's 1.0!", kGreen, 24, 2040},
    {"Suchen Sie ein Programmpaket das ", kMagenta, 15.75f, 3000},
    {"- schnell und ohne viel Aufwand Bilder der verschiedensten Formate anzeigt?", kCyan, 12,
     3360},
    {"- intimste Systemparameter ändern kann?", kCyan, 12, 3720},
    {"- Ihnen bei der täglichen Arbeit effektiv, schnell und unkompliziert hilft?", kCyan, 12,
     4080},
    {"- Ihr System schneller macht?", kCyan, 12, 4440},
    {"- features hat die kein anderes Programm bietet?", kCyan, 12, 4800},
    {"Dann hat Ihre Suche ein Ende! ", kWhite, 14.25f, 5400},
    {"Klicken Sie auf ‘Weiter’ um in eine neue Welt des Computing aufzubrechen!", kWhite, 12, 5760},
}};

// A line arrives once it has moved to 1200 twips or less; each tick moves it 1100.
constexpr float kArrived = 1200;
constexpr float kStep = 1100;
constexpr int kLastLine = 10;

// Where a line comes to rest; nothing for an index outside the lines (-1 while the first
// line flies in).
void PutInPlace(WillkommenSchirmForm& form, int index) {
    if (index >= 0 && index <= 3)
        form.AnimText(index).SetLeft(120);
    else if (index >= 4 && index <= 8)
        form.AnimText(index).SetLeft(240);
    else if (index == 9 || index == 10)
        form.AnimText(index).SetLeft(345);
}

// Characters (UTF-8 continuation bytes not counted) of a caption, for its designed width.
float Characters(std::string_view text) {
    float n = 0;
    for (unsigned char c : text)
        n += (c & 0xC0) != 0x80 ? 1.0f : 0.0f;
    return n;
}

float WholePixels(float twips) {
    return std::round(twips / 15) * 15;
}

} // namespace

WillkommenSchirmForm::WillkommenSchirmForm() : Form("WillkommenSchirm") {
    SetBorderStyle(forms::vbBSNone);
    SetBackColor(RGB(0, 0, 0));
    for (int i = 0; i < AnimText.Count(); ++i) {
        const Line& line = kLines[static_cast<size_t>(i)];
        forms::Label& label = AnimText(i);
        label.SetCaption(line.text);
        label.SetBackStyle(forms::vbTransparent);
        label.SetForeColor(line.colour);
        forms::Font font;
        font.name = "Arial";
        font.size = line.size;
        font.bold = true;
        font.italic = true;
        label.SetFont(font);
        label.SetAutoSize(true);
        // Sized as an auto-sized label of the design: about 0.56 em per character.
        float em = line.size * 20;
        label.Move(0, line.top, WholePixels(Characters(line.text) * em * 0.56f),
                   WholePixels(em * 1.15f));
    }
    WeiterLabel.SetCaption("Weiter");
    WeiterLabel.Move(7440, 6480, 1155, 435);
    WeiterLabel.SetForeColor(kBlue);
    WeiterLabel.SetBackStyle(forms::vbTransparent);
    forms::Font link;
    link.size = 18;
    link.bold = true;
    link.underline = true;
    WeiterLabel.SetFont(link);
    WeiterLabel.SetVisible(false);
    LinkMove.SetVisible(false);
    LinkMove.SetPicture("hand_pointing");
    LinkHandZu.SetVisible(false);
    LinkHandZu.SetPicture("hand_pressed");
    WeiterLabel.SetMousePointer(forms::vbCustom);
    WeiterLabel.SetMouseIcon(LinkMove.Picture());
    WeiterLabel.OnMouseMove = [this](int, int, float, float) { WeiterLabel_MouseMove(); };
    WeiterLabel.OnMouseUp = [this](int, int, float, float) { WeiterLabel_MouseUp(); };
    Timer1.SetInterval(3);
    Timer1.OnTimer = [this] { Timer1_Timer(); };
}

void WillkommenSchirmForm::Form_Load() {
    Move(0, 0, forms::Screen::Width(), forms::Screen::Height());
    Setup_API::ExplodeForm(*this, 50);
    for (int i = 0; i < AnimText.Count(); ++i)
        AnimText(i).SetLeft(forms::Screen::Width());
}

void WillkommenSchirmForm::Timer1_Timer() {
    forms::Label& flying = AnimText(AnimStep);
    if (flying.Left() > kArrived) {
        flying.SetLeft(flying.Left() - kStep);
    } else {
        if (AnimStep >= kLastLine)
            Timer1.SetEnabled(false);
        ++AnimStep;
    }
    PutInPlace(*this, AnimStep - 1);
    if (AnimStep > kLastLine)
        WeiterLabel.SetVisible(true);
}

void WillkommenSchirmForm::WeiterLabel_MouseMove() {
    WeiterLabel.SetMousePointer(forms::vbCustom);
    WeiterLabel.SetMouseIcon(LinkMove.Picture());
}

void WillkommenSchirmForm::WeiterLabel_MouseUp() {
    WeiterLabel.SetBorderStyle(forms::vbFixedSingle);
    WeiterLabel.SetMouseIcon(LinkHandZu.Picture());
    WeiterLabel.SetBorderStyle(forms::vbBSNone);
    Setup->Show(forms::vbModal);
}

} // namespace app
