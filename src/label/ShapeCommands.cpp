#include <algorithm>
#include <cstdlib>

#include "label/Params.h"
#include "label/ReadContext.h"

namespace label {
namespace {

constexpr int kMost = 65535;

}  // namespace

void readLine(ReadContext& context, std::string_view command, std::string_view params) {
    const std::vector<std::string_view> fields = splitAtCommas(params, 5);
    if (!context.expectFields(command, fields, 4, "x, y, width, height")) {
        return;
    }
    if (fields.size() > 4) {
        context.error(std::string(command) + " takes 4 parameters, this line has more");
        return;
    }
    const auto x = context.number(command, fields, 1, "x position", 0, kMost);
    const auto y = context.number(command, fields, 2, "y position", 0, kMost);
    const auto width = context.number(command, fields, 3, "width", 0, kMost);
    const auto height = context.number(command, fields, 4, "height", 0, kMost);
    if (!x || !y || !width || !height) {
        return;
    }
    if (*width == 0 || *height == 0) {
        context.warning(std::string(command) + ": a line " +
                        (*width == 0 ? "0 dots wide" : "0 dots high") + " draws nothing");
    }
    Element element;
    element.kind = ElementKind::Line;
    element.command = std::string(command);
    element.x = *x;
    element.y = *y;
    const Ink ink = command == "LE" ? Ink::Invert : command == "LW" ? Ink::White : Ink::Black;
    element.rects.push_back({0, 0, *width, *height, ink});
    context.draw(std::move(element));
}

void readDiagonal(ReadContext& context, std::string_view params) {
    const std::vector<std::string_view> fields = splitAtCommas(params, 6);
    if (!context.expectFields("LS", fields, 5, "x, y, thickness, end x, end y")) {
        return;
    }
    if (fields.size() > 5) {
        context.error("LS takes 5 parameters, this line has more");
        return;
    }
    const auto x = context.number("LS", fields, 1, "x position", 0, kMost);
    const auto y = context.number("LS", fields, 2, "y position", 0, kMost);
    const auto thickness = context.number("LS", fields, 3, "line thickness", 0, kMost);
    const auto endX = context.number("LS", fields, 4, "end x position", 0, kMost);
    const auto endY = context.number("LS", fields, 5, "end y position", 0, kMost);
    if (!x || !y || !thickness || !endX || !endY) {
        return;
    }
    if (*thickness == 0) {
        context.warning("LS: a line 0 dots thick draws nothing");
    }
    Element element;
    element.kind = ElementKind::Diagonal;
    element.command = "LS";
    element.x = *x;
    element.y = *y;
    const int dx = *endX - *x;
    const int dy = *endY - *y;
    element.polygon = {{0, 0}, {dx, dy}, {dx, dy + *thickness}, {0, *thickness}};
    context.draw(std::move(element));
}

void readBox(ReadContext& context, std::string_view params) {
    const std::vector<std::string_view> fields = splitAtCommas(params, 6);
    if (!context.expectFields("X", fields, 5, "x, y, line thickness, end x, end y")) {
        return;
    }
    if (fields.size() > 5) {
        context.error("X takes 5 parameters, this line has more");
        return;
    }
    const auto x = context.number("X", fields, 1, "x position", 0, kMost);
    const auto y = context.number("X", fields, 2, "y position", 0, kMost);
    const auto thickness = context.number("X", fields, 3, "line thickness", 0, kMost);
    const auto endX = context.number("X", fields, 4, "end x position", 0, kMost);
    const auto endY = context.number("X", fields, 5, "end y position", 0, kMost);
    if (!x || !y || !thickness || !endX || !endY) {
        return;
    }
    if (*endX < *x || *endY < *y) {
        context.warning(
            "X: the end corner lies left of or above the start corner: drawn between "
            "the two");
    }
    if (*thickness == 0) {
        context.warning("X: a box with lines 0 dots thick draws nothing");
    }
    Element element;
    element.kind = ElementKind::Box;
    element.command = "X";
    element.x = std::min(*x, *endX);
    element.y = std::min(*y, *endY);
    const int width = std::abs(*endX - *x);
    const int height = std::abs(*endY - *y);
    const int across = std::min(*thickness, height);
    const int down = std::min(*thickness, width);
    element.rects = {{0, 0, width, across, Ink::Black},
                     {0, height - across, width, across, Ink::Black},
                     {0, 0, down, height, Ink::Black},
                     {width - down, 0, down, height, Ink::Black}};
    context.draw(std::move(element));
}

}  // namespace label
