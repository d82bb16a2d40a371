// The tool's SVG primitives.
#include "svg_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velkor_tool {

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

Ticks NiceTicks(double low, double high, int most)
{
    Ticks t;
    if (!(high > low) || !std::isfinite(low) || !std::isfinite(high) || most < 2) {
        t.at.push_back(low);
        return t;
    }
    const double rough = (high - low) / (most - 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 5.0, 10.0}) {
        t.step = factor * power;
        if (t.step >= rough) {
            break;
        }
    }
    const double first = std::ceil(low / t.step - 1e-9) * t.step;
    for (double v = first; v <= high + t.step * 1e-9; v += t.step) {
        t.at.push_back(std::fabs(v) < t.step * 1e-9 ? 0.0 : v);
    }
    return t;
}

std::string TickText(double value, double step)
{
    int decimals = 0;
    while (decimals < 6 && std::fabs(step * std::pow(10.0, decimals) - std::round(step * std::pow(10.0, decimals))) >
                               1e-6 * std::pow(10.0, decimals)) {
        ++decimals;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

bool Box::Overlaps(const Box& o) const
{
    return x < o.x + o.width && o.x < x + width && y < o.y + o.height && o.y < y + height;
}

bool Box::Inside(const Box& outer) const
{
    return x >= outer.x && y >= outer.y && x + width <= outer.x + outer.width && y + height <= outer.y + outer.height;
}

double TextWidth(const std::string& text, double fontSize) { return 0.62 * fontSize * text.size() + 2; }

SvgDocument::SvgDocument(double width, double height, const std::string& style)
{
    char head[256];
    std::snprintf(head, sizeof head,
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                  "width=\"%.0f\" height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\">\n",
                  width, height, width, height);
    out_ = head;
    out_ += "<style>" + style + "</style>\n";
    char background[128];
    std::snprintf(background, sizeof background, "<rect x=\"0\" y=\"0\" width=\"%.0f\" height=\"%.0f\" fill=\"white\"/>\n",
                  width, height);
    out_ += background;
}

void SvgDocument::Text(double x, double y, const std::string& cssClass, const std::string& text, const char* anchor,
                       double rotate)
{
    char head[200];
    if (rotate != 0) {
        std::snprintf(head, sizeof head,
                      "<text class=\"%s\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\" transform=\"rotate(%.0f %.1f %.1f)\">",
                      cssClass.c_str(), x, y, anchor, rotate, x, y);
    } else {
        std::snprintf(head, sizeof head, "<text class=\"%s\" x=\"%.1f\" y=\"%.1f\" text-anchor=\"%s\">",
                      cssClass.c_str(), x, y, anchor);
    }
    out_ += head + Escape(text) + "</text>\n";
}

void SvgDocument::Line(double x1, double y1, double x2, double y2, const std::string& cssClass)
{
    char text[160];
    std::snprintf(text, sizeof text, "<line class=\"%s\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n",
                  cssClass.c_str(), x1, y1, x2, y2);
    out_ += text;
}

void SvgDocument::Rect(const Box& b, const std::string& cssClass)
{
    char text[160];
    std::snprintf(text, sizeof text, "<rect class=\"%s\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>\n",
                  cssClass.c_str(), b.x, b.y, b.width, b.height);
    out_ += text;
}

void SvgDocument::Circle(double x, double y, double r, const std::string& cssClass)
{
    char text[128];
    std::snprintf(text, sizeof text, "<circle class=\"%s\" cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\"/>\n", cssClass.c_str(),
                  x, y, r);
    out_ += text;
}

namespace {
std::string Points(const std::vector<std::pair<double, double>>& points)
{
    std::string out;
    char text[48];
    for (const auto& p : points) {
        std::snprintf(text, sizeof text, "%s%.1f,%.1f", out.empty() ? "" : " ", p.first, p.second);
        out += text;
    }
    return out;
}
} // namespace

void SvgDocument::Polygon(const std::vector<std::pair<double, double>>& points, const std::string& cssClass)
{
    out_ += "<polygon class=\"" + cssClass + "\" points=\"" + Points(points) + "\"/>\n";
}

void SvgDocument::Polyline(const std::vector<std::pair<double, double>>& points, const std::string& cssClass)
{
    out_ += "<polyline class=\"" + cssClass + "\" points=\"" + Points(points) + "\"/>\n";
}

std::string SvgDocument::Finish() { return out_ + "</svg>\n"; }

LabelPlacer::Placed LabelPlacer::Place(double px, double py, const std::string& text)
{
    const double w = TextWidth(text, fontSize_);
    const double h = fontSize_ + 2;
    // The text's box for a baseline start (x, y).
    auto boxAt = [&](double x, double y) { return Box{x, y - fontSize_, w, h}; };
    auto freeAt = [&](const Box& b) {
        if (!b.Inside(area_)) {
            return false;
        }
        return std::none_of(taken_.begin(), taken_.end(), [&](const Box& t) { return t.Overlaps(b); });
    };
    Placed result;
    // Around the point first, in growing rings.
    for (int ring = 1; ring <= 6 && !result.placed; ++ring) {
        const double d = 6.0 * ring;
        const double candidates[8][2] = {{px + d, py - d},         {px + d, py + d + fontSize_},
                                         {px - d - w, py - d},     {px - d - w, py + d + fontSize_},
                                         {px + d, py + fontSize_ / 3}, {px - d - w, py + fontSize_ / 3},
                                         {px - w / 2, py - d},     {px - w / 2, py + d + fontSize_}};
        for (const auto& c : candidates) {
            if (freeAt(boxAt(c[0], c[1]))) {
                result = Placed{c[0], c[1], ring > 2, true};
                break;
            }
        }
    }
    // Then anywhere in the area, nearest first.
    if (!result.placed) {
        double best = -1;
        for (double y = area_.y + fontSize_; y <= area_.y + area_.height - 2; y += h) {
            for (double x = area_.x + 2; x + w <= area_.x + area_.width; x += 8) {
                if (!freeAt(boxAt(x, y))) {
                    continue;
                }
                const double d = (x - px) * (x - px) + (y - py) * (y - py);
                if (best < 0 || d < best) {
                    best = d;
                    result = Placed{x, y, true, true};
                }
            }
        }
    }
    if (result.placed) {
        taken_.push_back(boxAt(result.x, result.y));
    }
    return result;
}

} // namespace velkor_tool
