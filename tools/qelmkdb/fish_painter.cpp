#include "fish_painter.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace qelmkdb {

TFishShape ParseShape(const std::string& s) {
    if (s == "fish") return TFishShape::Fish;
    if (s == "eel") return TFishShape::Eel;
    if (s == "ray") return TFishShape::Ray;
    throw std::invalid_argument("unknown shape \"" + s + "\"");
}

TTailStyle ParseTail(const std::string& s) {
    if (s == "fork") return TTailStyle::Fork;
    if (s == "round") return TTailStyle::Round;
    if (s == "lunate") return TTailStyle::Lunate;
    if (s == "fan") return TTailStyle::Fan;
    if (s == "point") return TTailStyle::Point;
    throw std::invalid_argument("unknown tail \"" + s + "\"");
}

TPattern ParsePattern(const std::string& s) {
    if (s == "plain") return TPattern::Plain;
    if (s == "bands") return TPattern::Bands;
    if (s == "stripes") return TPattern::Stripes;
    if (s == "spots") return TPattern::Spots;
    if (s == "lines") return TPattern::Lines;
    throw std::invalid_argument("unknown pattern \"" + s + "\"");
}

namespace {

constexpr double kPi = 3.14159265358979323846;

struct TRgb {
    double R = 0, G = 0, B = 0;
};

TRgb FromHex(unsigned c) {
    return {((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, (c & 0xFF) / 255.0};
}
TRgb Mix(const TRgb& a, const TRgb& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t};
}
TRgb Scale(const TRgb& a, double f) {
    return {a.R * f, a.G * f, a.B * f};
}
double SmoothStep(double e0, double e1, double x) {
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}
double Frac(double x) {
    return x - std::floor(x);
}

std::uint64_t SplitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}
double Unit(std::uint64_t& state) {
    return static_cast<double>(SplitMix(state) >> 11) / 9007199254740992.0;
}

std::uint64_t HashPoint(int x, int y, std::uint64_t seed) {
    std::uint64_t s = seed ^ (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32) ^
                      static_cast<std::uint32_t>(y);
    return SplitMix(s);
}

struct TSpot {
    double T, S, R;
};
struct TWeed {
    double X, Height, Phase, Width;
};
struct TBubble {
    double X, Y, R;
};

class TPainter {
public:
    TPainter(const TFishLook& look, int width, int height) : FLook(look), W(width), H(height) {
        std::uint64_t rng = look.Seed * 0x2545F4914F6CDD1DULL + 17;
        FBody = FromHex(look.Body);
        FBelly = FromHex(look.Belly);
        FFin = FromHex(look.Fin);
        FMark = FromHex(look.PatternColour);
        FWater = FromHex(look.Water);
        FDeep = {FWater.R * 0.22, FWater.G * 0.3 + 0.02, FWater.B * 0.42 + 0.06};
        FSand = Mix(FromHex(0xD8C8A0), FWater, 0.25);
        FSandPhase = Unit(rng) * 2 * kPi;
        const int weeds = 2 + static_cast<int>(Unit(rng) * 3);
        for (int i = 0; i < weeds; ++i)
            FWeeds.push_back({W * (0.05 + 0.9 * Unit(rng)), H * (0.25 + 0.3 * Unit(rng)), Unit(rng) * 2 * kPi,
                              2.0 + 2.0 * Unit(rng)});

        switch (look.Shape) {
        case TFishShape::Eel:
            L = 0.84 * W;
            T = 0;
            FBodyHeight = std::min(look.Height * L, 0.3 * H);
            break;
        case TFishShape::Ray:
            L = 0.72 * W;
            T = 0;
            FBodyHeight = std::min(look.Height * 0.5 * L, 0.5 * H);
            break;
        default:
            L = 0.56 * W;
            T = 0.17 * W;
            FBodyHeight = std::min(look.Height * L, 0.56 * H);
            break;
        }
        X0 = (W - (L + T)) / 2 + T;
        CY = 0.46 * H;
        FTailHeight = std::clamp(FBodyHeight * 0.5, 0.1 * H, 0.28 * H);

        for (int i = 0; i < look.PatternCount && look.Pattern == TPattern::Spots; ++i)
            FSpots.push_back({0.14 + 0.72 * Unit(rng), -0.75 + 1.5 * Unit(rng), 0.7 + 0.6 * Unit(rng)});
        const double headX = look.Shape == TFishShape::Ray ? W * 0.5 : X0 + L;
        double by = CY - FBodyHeight * 0.3;
        for (int i = 0; i < 6; ++i) {
            by -= 8 + 10 * Unit(rng);
            FBubbles.push_back({headX + 6 + 10 * Unit(rng) + i * 2.0, by, 1.8 + 2.2 * Unit(rng)});
        }
    }

    std::vector<std::uint8_t> Bmp() const {
        const int rowBytes = (W * 3 + 3) / 4 * 4;
        const std::uint32_t imageSize = static_cast<std::uint32_t>(rowBytes) * static_cast<std::uint32_t>(H);
        const std::uint32_t fileSize = 54 + imageSize;
        std::vector<std::uint8_t> out(fileSize, 0);
        auto put16 = [&](size_t at, std::uint16_t v) {
            out[at] = static_cast<std::uint8_t>(v);
            out[at + 1] = static_cast<std::uint8_t>(v >> 8);
        };
        auto put32 = [&](size_t at, std::uint32_t v) {
            for (int k = 0; k < 4; ++k) out[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
        };
        out[0] = 'B';
        out[1] = 'M';
        put32(2, fileSize);
        put32(10, 54);
        put32(14, 40);
        put32(18, static_cast<std::uint32_t>(W));
        put32(22, static_cast<std::uint32_t>(H));
        put16(26, 1);
        put16(28, 24);
        put32(30, 0);
        put32(34, imageSize);
        put32(38, 3780); // 96 dpi
        put32(42, 3780);
        constexpr int kSub = 3;
        for (int y = 0; y < H; ++y) {
            std::uint8_t* row = out.data() + 54 + static_cast<size_t>(H - 1 - y) * rowBytes;
            for (int x = 0; x < W; ++x) {
                TRgb sum;
                for (int j = 0; j < kSub; ++j)
                    for (int i = 0; i < kSub; ++i) {
                        const TRgb c = Sample(x + (i + 0.5) / kSub, y + (j + 0.5) / kSub, x, y);
                        sum.R += c.R;
                        sum.G += c.G;
                        sum.B += c.B;
                    }
                auto to8 = [](double v) {
                    return static_cast<std::uint8_t>(
                        std::clamp(std::lround(v * 255.0 / (kSub * kSub)), 0L, 255L));
                };
                row[x * 3 + 0] = to8(sum.B);
                row[x * 3 + 1] = to8(sum.G);
                row[x * 3 + 2] = to8(sum.R);
            }
        }
        return out;
    }

private:
    const TFishLook& FLook;
    int W, H;
    double L = 0, T = 0, X0 = 0, CY = 0, FBodyHeight = 0, FTailHeight = 0, FSandPhase = 0;
    TRgb FBody, FBelly, FFin, FMark, FWater, FDeep, FSand;
    std::vector<TSpot> FSpots;
    std::vector<TWeed> FWeeds;
    std::vector<TBubble> FBubbles;

    double Ground(double x) const {
        return H * 0.86 + 4 * std::sin(x * 0.05 + FSandPhase) + 2.5 * std::sin(x * 0.13);
    }

    TRgb Background(double x, double y, int px, int py) const {
        TRgb c = Mix(FWater, FDeep, std::pow(y / H, 0.9));
        // Shafts of light from the surface.
        if (y < 0.75 * H) {
            const double shaft = Frac((x + y * 0.45) / 73.0 + 0.15 * std::sin(x * 0.01));
            if (shaft < 0.14) c = Mix(c, {1, 1, 1}, 0.07 * (1 - y / (0.75 * H)));
        }
        const double g = Ground(x);
        // Weed rises from the ground behind the animal.
        for (const TWeed& w : FWeeds) {
            const double up = g - y;
            if (up < 0 || up > w.Height) continue;
            const double cx = w.X + 7 * std::sin(up * 0.07 + w.Phase) * (up / w.Height);
            const double half = w.Width * (1 - 0.6 * up / w.Height);
            if (std::fabs(x - cx) < half) {
                const TRgb weed = Mix(FromHex(0x2E7D32), FromHex(0x7CB342), up / w.Height);
                c = Mix(weed, FDeep, 0.35 * y / H);
            }
        }
        if (y > g) {
            const double speckle = (HashPoint(px, py, FLook.Seed) % 100) / 100.0;
            c = Scale(FSand, 0.9 + 0.15 * speckle - 0.2 * SmoothStep(g, H, y));
            // A soft shadow under the animal.
            const double sx = (x - W * 0.5) / (0.32 * W), sy = (y - (g + 6)) / 7.0;
            if (sx * sx + sy * sy < 1) c = Scale(c, 0.82 + 0.18 * (sx * sx + sy * sy));
        }
        return c;
    }

    // Vertical centre and half height of the body at t (0 = tail end, 1 = snout).
    double CentreAt(double t) const {
        if (FLook.Shape == TFishShape::Eel) return CY + std::sin(t * 2 * kPi * 1.2) * H * 0.07;
        return CY - FBodyHeight * 0.04 * std::sin(kPi * t);
    }
    double HalfAt(double t) const {
        if (t < 0 || t > 1) return 0;
        if (FLook.Shape == TFishShape::Eel) {
            double h = FBodyHeight / 2 * std::pow(std::min(1.0, t / 0.3), 0.7);
            if (t > 0.88) h *= std::sqrt(std::max(0.0, 1 - std::pow((t - 0.88) / 0.12, 2)));
            return h;
        }
        double h = FBodyHeight / 2 * std::pow(std::sin(kPi * std::pow(t, 1.35)), 0.75);
        if (t < 0.2) h = std::max(h, FBodyHeight * 0.08);
        return h;
    }

    TRgb Patterned(TRgb c, double x, double y, double t, double s, double hh) const {
        const int n = std::max(FLook.PatternCount, 1);
        double amount = 0;
        switch (FLook.Pattern) {
        case TPattern::Plain: break;
        case TPattern::Bands: {
            const double width = n == 1 ? 0.07 : 0.26 / n;
            for (int i = 0; i < FLook.PatternCount; ++i) {
                const double centre = n == 1 ? 0.72 : 0.16 + 0.68 * (i + 0.5) / n;
                amount = std::max(amount, 1 - SmoothStep(width * 0.8, width, std::fabs(t - centre) * 2));
            }
            break;
        }
        case TPattern::Stripes: {
            const double width = 0.32 / n;
            for (int i = 0; i < FLook.PatternCount; ++i) {
                const double centre = n == 1 ? 0.0 : -0.6 + 1.2 * (i + 0.5) / n;
                amount = std::max(amount, 1 - SmoothStep(width * 0.7, width, std::fabs(s - centre)));
            }
            amount *= SmoothStep(0.02, 0.12, t) * (1 - SmoothStep(0.85, 0.95, t));
            break;
        }
        case TPattern::Spots: {
            const double base = std::max(2.0, FBodyHeight * (FLook.Shape == TFishShape::Ray ? 0.05 : 0.065));
            for (const TSpot& sp : FSpots) {
                double sx = 0, sy = 0;
                if (FLook.Shape == TFishShape::Ray) {
                    sx = W * 0.5 + (sp.S) * L * 0.42;
                    sy = CY + (sp.T - 0.5) * FBodyHeight * 1.4;
                } else {
                    sx = X0 + sp.T * L;
                    sy = CentreAt(sp.T) + sp.S * HalfAt(sp.T);
                }
                const double d = std::hypot(x - sx, y - sy);
                amount = std::max(amount, 1 - SmoothStep(base * sp.R * 0.8, base * sp.R, d));
            }
            break;
        }
        case TPattern::Lines: {
            const double spacing = std::max(6.0, L / (n * 1.6));
            const double f = Frac((x * 0.8 + y) / spacing);
            amount = f < 0.22 ? 1 : 0;
            amount *= SmoothStep(0.05, 0.2, t);
            break;
        }
        }
        (void)hh;
        return Mix(c, FMark, amount * 0.95);
    }

    TRgb BodyColour(double x, double y, double t, double hh) const {
        const double s = (y - CentreAt(t)) / std::max(hh, 1e-6);
        TRgb c = Mix(FBody, FBelly, SmoothStep(0.05, 0.85, s));
        c = Patterned(c, x, y, t, s, hh);
        c = Scale(c, 0.88 + 0.2 * (1 - std::fabs(s + 0.35)));
        return c;
    }

    bool InTail(double x, double y, double& u) const {
        if (T <= 0 || x >= X0) return false;
        u = (X0 - x) / T;
        if (u > 1.05) return false;
        const double ht = FTailHeight;
        const double dy = y - CY;
        const double a = std::fabs(dy);
        switch (FLook.Tail) {
        case TTailStyle::Fork:
            if (u > 1 || a > ht * (0.18 + 0.82 * u)) return false;
            return !(u > 0.5 && a < 0.8 * ht * (u - 0.5) / 0.5);
        case TTailStyle::Round: {
            const double e = std::pow((u - 0.3) / 0.7, 2) + std::pow(dy / ht, 2);
            return u >= 0 && e < 1 && a < ht * (0.2 + 1.6 * u);
        }
        case TTailStyle::Lunate:
            return a < ht * 1.05 * (0.12 + 0.88 * u) && u < 0.55 + 0.45 * std::pow(dy / ht, 2);
        case TTailStyle::Fan: return u <= 1 && a < ht * (0.2 + 0.8 * u);
        case TTailStyle::Point: {
            // An upturned shark tail: long upper lobe, short lower lobe.
            const double upper = ht * 1.1 * u,
                         lower = ht * 0.45 * std::min(u / 0.6, 1.0) * (u < 0.7 ? 1 : (1 - u) / 0.3);
            const double base = FBodyHeight * 0.08 * (1 - u);
            return (dy < 0 && -dy < base + upper * (1 - u * 0.55) && -dy > upper * 0.9 - base * 3 - 2) ||
                   (dy >= 0 && dy < base + lower) || (a < base + 1.5);
        }
        }
        return false;
    }

    TRgb Fish(TRgb c, double x, double y) const {
        const double t = (x - X0) / L;
        // Tail and fins behind the body.
        double u = 0;
        if (InTail(x, y, u)) {
            TRgb tail = Mix(FFin, Scale(FFin, 0.7), u);
            if (FLook.Pattern == TPattern::Spots && FLook.Shape == TFishShape::Fish)
                tail = Patterned(tail, x, y, 0.5, 0, 1);
            c = Mix(c, tail, 0.92);
        }
        const double yc = CentreAt(std::clamp(t, 0.0, 1.0));
        const double hh = HalfAt(t);
        const bool eel = FLook.Shape == TFishShape::Eel;
        // Dorsal fin.
        const double d0 = eel ? 0.15 : 0.3, d1 = eel ? 0.86 : 0.78;
        if (t > d0 && t < d1) {
            const double top = yc - hh;
            const double fh =
                (eel ? FBodyHeight * 0.3 : std::min(FBodyHeight * 0.3 + 6, CY - FBodyHeight * 0.55 - 8)) *
                std::pow(std::sin(kPi * (t - d0) / (d1 - d0)), eel ? 0.3 : 0.8);
            if (y < top + 2 && y > top - fh) {
                const TRgb fin = Frac(x / 6.0) < 0.25 ? Scale(FFin, 0.8) : FFin;
                c = Mix(c, fin, 0.88);
            }
        }
        // Anal fin.
        if (!eel && t > 0.2 && t < 0.46) {
            const double bottom = yc + hh;
            const double fh = (FBodyHeight * 0.16 + 4) * std::pow(std::sin(kPi * (t - 0.2) / 0.26), 0.8);
            if (y > bottom - 2 && y < bottom + fh) c = Mix(c, FFin, 0.85);
        }
        // Body.
        if (t >= 0 && t <= 1 && std::fabs(y - yc) < hh) {
            c = BodyColour(x, y, t, hh);
            // Gill cover.
            if (!eel) {
                const double s = (y - yc) / hh;
                const double gx = X0 + L * (0.74 - 0.035 * s * s);
                if (std::fabs(x - gx) < 1.1 && std::fabs(s) < 0.75) c = Scale(c, 0.7);
            }
            // Mouth.
            const double mt = eel ? 0.975 : 0.955;
            if (t > mt && std::fabs(y - (yc + hh * 0.1 + (eel ? 0 : HalfAt(0.97) * 0.1))) < 0.7)
                c = Scale(c, 0.35);
            // Edge darkening gives the body some roundness.
            c = Scale(c, 1 - 0.25 * SmoothStep(0.75, 1.0, std::fabs(y - yc) / hh));
        }
        // Pectoral fin over the body.
        if (!eel) {
            const double px = X0 + 0.63 * L, py = CentreAt(0.63) + HalfAt(0.63) * 0.25;
            const double ang = -0.35, ca = std::cos(ang), sa = std::sin(ang);
            const double dx = x - px, dy = y - py;
            const double rx = dx * ca - dy * sa, ry = dx * sa + dy * ca;
            const double a = std::max(L * 0.1, 8.0), b = std::max(FBodyHeight * 0.12, 3.5);
            if (rx < 0 && (rx * rx) / (a * a) + (ry * ry) / (b * b) < 1) c = Mix(c, FFin, 0.7);
        }
        // Eye.
        const double et = eel ? 0.93 : 0.86;
        const double ex = X0 + et * L, ey = CentreAt(et) - HalfAt(et) * (eel ? 0.25 : 0.2);
        const double r = std::clamp(FBodyHeight * (eel ? 0.16 : 0.09), 3.0, 11.0);
        const double d = std::hypot(x - ex, y - ey);
        if (d < r) {
            c = {0.96, 0.95, 0.9};
            if (d < r * 0.62) c = {0.06, 0.05, 0.08};
            if (std::hypot(x - (ex - r * 0.22), y - (ey - r * 0.22)) < r * 0.2) c = {1, 1, 1};
        } else if (d < r + 0.9) {
            c = Scale(c, 0.55);
        }
        return c;
    }

    TRgb Ray(TRgb c, double x, double y) const {
        const double cx = W * 0.5;
        const double a = L * 0.5, back = FBodyHeight * 0.55, front = FBodyHeight * 0.4;
        const double dx = x - cx, dy = y - CY;
        // Tail: a thin whip trailing down and to the right.
        {
            const double x1 = cx, y1 = CY + back * 0.8, x2 = cx + W * 0.12, y2 = H * 0.97;
            const double vx = x2 - x1, vy = y2 - y1;
            const double v = std::clamp(((x - x1) * vx + (y - y1) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
            const double dist = std::hypot(x - (x1 + v * vx), y - (y1 + v * vy));
            if (dist < 2.2 * (1 - v) + 0.6) c = Mix(FFin, Scale(FFin, 0.6), v);
        }
        const double by = dy < 0 ? front : back;
        // Wings sweep back: the wing tips sit behind the centre.
        const double sweep = dy - std::fabs(dx) / a * back * 0.35;
        const double e = std::pow(std::fabs(dx) / a, 1.25) + std::pow(std::fabs(sweep) / by, 1.25);
        if (e < 1) {
            const double r = std::sqrt(e);
            TRgb disc = Mix(FBody, FFin, SmoothStep(0.6, 1.0, r));
            disc = Patterned(disc, x, y, 0.5, 0, by);
            disc = Scale(disc, 1.08 - 0.28 * r);
            c = disc;
        }
        // Head lobe.
        const double hx = dx / (W * 0.07), hy = (y - (CY - front * 0.85)) / (front * 0.45);
        if (hx * hx + hy * hy < 1) c = Scale(Mix(FBody, FFin, 0.3), 1.05);
        // Eyes on top of the head.
        for (double side : {-1.0, 1.0}) {
            const double ex = cx + side * W * 0.055, ey = CY - front * 0.55;
            const double d = std::hypot(x - ex, y - ey);
            if (d < 3.2) c = d < 2 ? TRgb{0.05, 0.05, 0.06} : TRgb{0.85, 0.85, 0.8};
        }
        return c;
    }

    TRgb Sample(double x, double y, int px, int py) const {
        TRgb c = Background(x, y, px, py);
        c = FLook.Shape == TFishShape::Ray ? Ray(c, x, y) : Fish(c, x, y);
        for (const TBubble& b : FBubbles) {
            const double d = std::hypot(x - b.X, y - b.Y);
            if (std::fabs(d - b.R) < 0.7)
                c = Mix(c, {1, 1, 1}, 0.65);
            else if (d < b.R)
                c = Mix(c, {1, 1, 1}, 0.12);
        }
        return c;
    }
};

} // namespace

std::vector<std::uint8_t> PaintFishBmp(const TFishLook& look, int width, int height) {
    if (width < 16 || height < 16 || width > 4096 || height > 4096)
        throw std::invalid_argument("picture size out of range");
    return TPainter(look, width, height).Bmp();
}

} // namespace qelmkdb
