#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

// A label template in the printer's EPL2 language, read into what the printer
// would put on the label: elements in printer dots (203 dpi, 8 dots per mm,
// x to the right, y down from the label's top left corner), the settings it
// sends, and the findings of the check, each with its line number. Reading
// never changes the template: the elements are a picture of it, nothing more.
namespace label {

inline constexpr int kDotsPerInch = 203;

enum class Severity { Warning, Error };

struct Finding {
    int line = 0;  // 1-based line of the template
    Severity severity = Severity::Error;
    std::string text;
};

// How a shape meets what lies under it: black print, white (erases), or
// inverted (black becomes white and white black).
enum class Ink { Black, White, Invert };

struct DotRect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    Ink ink = Ink::Black;
};

struct DotPoint {
    int x = 0;
    int y = 0;
};

// A line of characters in a mono-spaced printer font: character i fills the
// cell from x + i * pitch, charWidth by charHeight dots.
struct TextRun {
    std::string text;  // bytes as the printer receives them
    int x = 0;
    int y = 0;
    int charWidth = 0;
    int charHeight = 0;
    int pitch = 0;
    Ink ink = Ink::Black;
};

enum class ElementKind { Text, Barcode, Line, Diagonal, Box };

// One drawing command. Its shapes are given in the element's own frame: the
// origin (x, y) at (0, 0), before the element is turned by quarterTurns
// quarters clockwise about that origin, as the printer turns it. box is what
// the element covers on the label, turned.
struct Element {
    int line = 0;
    ElementKind kind = ElementKind::Text;
    std::string command;  // "A", "B", "LO", "LE", "LW", "LS" or "X"
    int x = 0;
    int y = 0;
    int quarterTurns = 0;
    std::vector<DotRect> rects;
    std::vector<TextRun> texts;
    std::vector<DotPoint> polygon;  // a filled polygon (diagonal lines)
    Ink polygonInk = Ink::Black;
    DotRect box;
    std::string data;       // text or bar code data as drawn, sample values filled in
    std::string symbology;  // bar codes: the symbology's name
    // A bar code whose data cannot be drawn: an outline with its data stands in.
    bool placeholder = false;
};

enum class Media { Gap, BlackMark, Continuous };

// A command that changes how the printer prints but draws nothing.
struct Setting {
    int line = 0;
    std::string command;  // "S", "D", "JF", "ZT", ...
    std::string text;     // the whole line as written
    std::string meaning;  // what it sets, in a few words
};

struct Label {
    // q and Q; when one is missing the picture uses kDefaultWidth or
    // kDefaultLength and nothing is checked against that edge.
    int width = 0;
    int length = 0;
    bool widthGiven = false;
    bool lengthGiven = false;
    Media media = Media::Gap;
    int gap = 0;  // gap or black mark in dots
    std::vector<Element> elements;
    std::vector<Setting> settings;
    std::vector<Finding> findings;  // in line order
    // The machine's @ tokens in the text and bar code data, in order of their
    // first appearance.
    std::vector<std::string> tokens;

    bool hasErrors() const;
};

inline constexpr int kDefaultWidth = 832;   // 4 inches, the widest desktop print head
inline constexpr int kDefaultLength = 406;  // 2 inches

// Sample values for the machine's @ tokens, by token ("@C" -> "C0402").
using SampleValues = std::map<std::string, std::string>;

// Reads a template (LF or CR LF line ends) into its label. Where a sample
// value is given for a token, text and bar code data show the sample.
Label readLabel(std::string_view templateText, const SampleValues& samples = {});

}  // namespace label
