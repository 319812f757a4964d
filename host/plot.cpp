#include "host/plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <vector>

#include "platform/safearray.h"

namespace {

constexpr double kWidth = 720, kHeight = 420;
constexpr double kLeft = 70, kRight = 20, kTop = 40, kBottom = 50;
constexpr double kPlotWidth = kWidth - kLeft - kRight, kPlotHeight = kHeight - kTop - kBottom;

struct Series {
    std::vector<double> x, y;
    bool bars = false;
    double barWidth = 1;
};

struct Axis {
    double lo = 0, hi = 1, step = 1;
    int ticks = 1;  // intervals between lo and hi
    double Tick(int k) const { return lo + k * step; }
    // Position of v along `length` pixels.
    double Map(double v, double length) const { return (v - lo) / (hi - lo) * length; }
};

// Ticks at 1, 2 or 5 times a power of ten, about six of them, with the axis
// widened to whole ticks.
Axis NiceAxis(double lo, double hi) {
    if (!(hi > lo)) {
        const double pad = lo == 0 ? 1 : std::fabs(lo) * 0.1;
        lo -= pad;
        hi += pad;
    }
    const double raw = (hi - lo) / 6;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude;
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        step = m * magnitude;
        if (step >= raw) break;
    }
    Axis a{std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
    const double intervals = std::round((a.hi - a.lo) / step);
    // Ranges far from the origin for their width, or beyond the doubles'
    // range, get their two ends as the only ticks.
    if (intervals >= 1 && intervals <= 50) {
        a.ticks = static_cast<int>(intervals);
    } else {
        a = {lo, hi, hi - lo, 1};
    }
    return a;
}

std::string Label(double v, double step) {
    if (std::fabs(v) < step * 1e-9) v = 0;  // no "-1.2e-17" at the origin
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

bool ElementAsDouble(const SafeArray& a, size_t offset, double* out) {
    Variant element = a.ElementAt(offset), d;
    if (FAILED(VariantChangeType(&d, &element, 0, VT_R8))) return false;
    *out = d.dblVal();
    return true;
}

bool ReadSeries(const Variant& value, Series* s, std::string* error) {
    const SafeArray* a = value.IsArray() ? value.parray() : nullptr;
    if (a == nullptr || a->Count() == 0) {
        *error = "not an array with elements";
        return false;
    }
    const bool histogram = a->Dims() == 2;
    if (histogram && a->Bound(0).cElements != 2) {
        *error = "a two-dimensional array plots only with two rows (edges, counts)";
        return false;
    }
    const size_t n = histogram ? a->Bound(1).cElements : a->Count();
    const int32_t first = histogram ? 0 : a->Bound(0).lLbound;
    for (size_t i = 0; i < n; ++i) {
        double x = first + static_cast<double>(i), y = 0;
        if (histogram ? !ElementAsDouble(*a, 2 * i, &x) || !ElementAsDouble(*a, 2 * i + 1, &y)
                      : !ElementAsDouble(*a, i, &y)) {
            *error = "element " + std::to_string(i) + " is not a number";
            return false;
        }
        s->x.push_back(x);
        s->y.push_back(y);
    }
    s->bars = histogram;
    if (histogram && n > 1) s->barWidth = s->x[1] - s->x[0];
    return true;
}

void Range(const std::vector<double>& v, double* lo, double* hi) {
    *lo = std::numeric_limits<double>::infinity();
    *hi = -*lo;
    for (double d : v) {
        if (!std::isfinite(d)) continue;
        *lo = std::min(*lo, d);
        *hi = std::max(*hi, d);
    }
    if (*lo > *hi) *lo = *hi = 0;
}

void WriteAxes(std::ostream& out, const Axis& ax, const Axis& ay) {
    out << "<g stroke=\"#ddd\" stroke-width=\"1\">\n";
    for (int k = 0; k <= ay.ticks; ++k) {
        const double v = ay.Tick(k);
        const double y = kTop + kPlotHeight - ay.Map(v, kPlotHeight);
        out << "<line x1=\"" << kLeft << "\" y1=\"" << y << "\" x2=\"" << kLeft + kPlotWidth
            << "\" y2=\"" << y << "\"/>\n";
    }
    out << "</g>\n<g font-family=\"sans-serif\" font-size=\"12\" fill=\"#333\">\n";
    for (int k = 0; k <= ax.ticks; ++k) {
        const double v = ax.Tick(k);
        const double x = kLeft + ax.Map(v, kPlotWidth);
        out << "<line x1=\"" << x << "\" y1=\"" << kTop + kPlotHeight << "\" x2=\"" << x
            << "\" y2=\"" << kTop + kPlotHeight + 5 << "\" stroke=\"#333\"/>\n"
            << "<text x=\"" << x << "\" y=\"" << kTop + kPlotHeight + 20
            << "\" text-anchor=\"middle\">" << Label(v, ax.step) << "</text>\n";
    }
    for (int k = 0; k <= ay.ticks; ++k) {
        const double v = ay.Tick(k);
        const double y = kTop + kPlotHeight - ay.Map(v, kPlotHeight);
        out << "<line x1=\"" << kLeft - 5 << "\" y1=\"" << y << "\" x2=\"" << kLeft << "\" y2=\""
            << y << "\" stroke=\"#333\"/>\n"
            << "<text x=\"" << kLeft - 8 << "\" y=\"" << y + 4 << "\" text-anchor=\"end\">"
            << Label(v, ay.step) << "</text>\n";
    }
    out << "</g>\n<rect x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\"" << kPlotWidth
        << "\" height=\"" << kPlotHeight << "\" fill=\"none\" stroke=\"#333\"/>\n";
}

void WriteBars(std::ostream& out, const Series& s, const Axis& ax, const Axis& ay) {
    out << "<g fill=\"#4878b0\" stroke=\"#2a4d78\" stroke-width=\"0.5\">\n";
    const double base = kTop + kPlotHeight - ay.Map(std::max(ay.lo, 0.0), kPlotHeight);
    for (size_t i = 0; i < s.x.size(); ++i) {
        if (!std::isfinite(s.x[i]) || !std::isfinite(s.y[i])) continue;
        const double right = i + 1 < s.x.size() ? s.x[i + 1] : s.x[i] + s.barWidth;
        const double x0 = kLeft + ax.Map(s.x[i], kPlotWidth);
        const double x1 = kLeft + ax.Map(right, kPlotWidth);
        const double top = kTop + kPlotHeight - ay.Map(s.y[i], kPlotHeight);
        out << "<rect x=\"" << x0 << "\" y=\"" << std::min(top, base) << "\" width=\""
            << std::max(x1 - x0, 0.5) << "\" height=\"" << std::fabs(base - top) << "\"/>\n";
    }
    out << "</g>\n";
}

// One polyline per run of finite points; long series are drawn as the
// smallest and largest value of each pixel column, which keeps every peak.
void WriteLine(std::ostream& out, const Series& s, const Axis& ax, const Axis& ay) {
    const size_t columns = static_cast<size_t>(kPlotWidth);
    const bool envelope = s.x.size() > 2 * columns;
    std::vector<std::vector<std::pair<double, double>>> runs(1);
    auto point = [&](double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) {
            if (!runs.back().empty()) runs.emplace_back();
            return;
        }
        runs.back().emplace_back(kLeft + ax.Map(x, kPlotWidth),
                                 kTop + kPlotHeight - ay.Map(y, kPlotHeight));
    };
    if (!envelope) {
        for (size_t i = 0; i < s.x.size(); ++i)
            point(s.x[i], s.y[i]);
    } else {
        const size_t n = s.x.size();
        for (size_t c = 0; c < columns; ++c) {
            const size_t begin = c * n / columns, end = (c + 1) * n / columns;
            auto [lo, hi] = std::minmax_element(s.y.begin() + begin, s.y.begin() + end);
            point(s.x[begin], *lo);
            point(s.x[begin], *hi);
        }
    }
    for (const auto& run : runs) {
        if (run.empty()) continue;
        out << "<polyline fill=\"none\" stroke=\"#c0392b\" stroke-width=\"1.5\" points=\"";
        for (const auto& [x, y] : run)
            out << x << ',' << y << ' ';
        out << "\"/>\n";
    }
}

}  // namespace

bool WritePlotSvg(const Variant& value, const std::string& title, std::ostream& out,
                  std::string* error) {
    Series s;
    if (!ReadSeries(value, &s, error)) return false;
    double xlo, xhi, ylo, yhi;
    Range(s.x, &xlo, &xhi);
    Range(s.y, &ylo, &yhi);
    if (s.bars) {
        xhi += s.barWidth;
        ylo = std::min(ylo, 0.0);
        yhi += (yhi - ylo) * 0.05;  // the tallest bar clear of the frame
    }
    const Axis ax = NiceAxis(xlo, xhi), ay = NiceAxis(ylo, yhi);
    out.precision(6);
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\""
        << kHeight << "\" viewBox=\"0 0 " << kWidth << ' ' << kHeight << "\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text x=\"" << kWidth / 2 << "\" y=\"24\" text-anchor=\"middle\" "
        << "font-family=\"sans-serif\" font-size=\"16\" font-weight=\"bold\">" << Escape(title)
        << "</text>\n";
    WriteAxes(out, ax, ay);
    if (s.bars) {
        WriteBars(out, s, ax, ay);
    } else {
        WriteLine(out, s, ax, ay);
    }
    out << "</svg>\n";
    return true;
}
