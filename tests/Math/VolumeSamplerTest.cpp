// Every pairwise volume test and every ray test against a brute-force reference: random volumes,
// point samples of each, and membership tests written here from the volumes' definitions. A test
// must never call two volumes disjoint while a sampled point lies in both, never call one inside
// the other while a sampled point of the inner one lies outside, and never call a ray a miss while
// a point along it lies in the volume. Cases within 0.01 of touching are skipped. The answer 2
// needs no proof: it is the answer a test gives when it has no finer one.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Math/AABB.h"
#include "Math/Frustum.h"
#include "Math/OBB.h"
#include "Math/Ray.h"
#include "Math/Sphere.h"
#include "Render/RenderSystem.h"

namespace {

using namespace Zel;
using Vec = std::array<double, 3>;

constexpr double kTouch = 0.01;

// xorshift64*: the same sequence on every platform and library.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    double Uniform(double lo, double hi) {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        const std::uint64_t bits = state_ * 0x2545F4914F6CDD1DULL;
        return lo + (hi - lo) * static_cast<double>(bits >> 11) * 0x1p-53;
    }
    Vec InBox(double lo, double hi) { return {Uniform(lo, hi), Uniform(lo, hi), Uniform(lo, hi)}; }
    Vec UnitVector() {
        for (;;) {
            const Vec v = InBox(-1, 1);
            const double l2 = Dot(v, v);
            if (l2 > 0.01 && l2 <= 1.0) {
                return Scale(v, 1.0 / std::sqrt(l2));
            }
        }
    }
    static double Dot(const Vec& a, const Vec& b) {
        return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    }
    static Vec Scale(const Vec& v, double s) { return {v[0] * s, v[1] * s, v[2] * s}; }

private:
    std::uint64_t state_;
};

double Dot(const Vec& a, const Vec& b) {
    return Rng::Dot(a, b);
}
Vec Add(const Vec& a, const Vec& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
Vec Sub(const Vec& a, const Vec& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec Scale(const Vec& v, double s) {
    return Rng::Scale(v, s);
}
Vec Cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec Normalized(const Vec& v) {
    return Scale(v, 1.0 / std::sqrt(Dot(v, v)));
}
std::array<float, 3> ToFloat(const Vec& v) {
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

// A convex volume described by inward planes (signed distance >= 0 inside), or a ball, with a
// cloud of points that lie in it (corners, faces and interior).
struct Reference {
    bool ball = false;
    Vec centre{};
    double radius = 0.0;
    std::vector<std::array<double, 4>> planes;  // unit normal, offset
    std::vector<Vec> samples;
    std::unique_ptr<BoundingVolume> engine;
    std::string kind;

    // Inside the volume grown by margin (shrunk when margin < 0).
    bool Contains(const Vec& p, double margin) const {
        if (ball) {
            return std::sqrt(Dot(Sub(p, centre), Sub(p, centre))) <= radius + margin;
        }
        for (const auto& plane : planes) {
            if (plane[0] * p[0] + plane[1] * p[1] + plane[2] * p[2] + plane[3] < -margin) {
                return false;
            }
        }
        return true;
    }
};

void AddSlab(Reference& ref, const Vec& axis, const Vec& centre, double extent) {
    const double c = Dot(axis, centre);
    ref.planes.push_back({axis[0], axis[1], axis[2], extent - c});
    ref.planes.push_back({-axis[0], -axis[1], -axis[2], extent + c});
}

// Samples of the box centre + sum(s_i e_i axis_i), s in [-1, 1]^3: corners, face points, interior.
void SampleBox(Reference& ref, Rng& rng, const Vec& centre, const Vec axes[3], const Vec& e) {
    auto point = [&](double s0, double s1, double s2) {
        Vec p = centre;
        p = Add(p, Scale(axes[0], s0 * e[0]));
        p = Add(p, Scale(axes[1], s1 * e[1]));
        p = Add(p, Scale(axes[2], s2 * e[2]));
        return p;
    };
    for (int i = 0; i < 8; ++i) {
        ref.samples.push_back(point(i & 4 ? 1 : -1, i & 2 ? 1 : -1, i & 1 ? 1 : -1));
    }
    for (int i = 0; i < 300; ++i) {
        double s[3] = {rng.Uniform(-1, 1), rng.Uniform(-1, 1), rng.Uniform(-1, 1)};
        if (i % 2 == 0) {
            const int face = i % 3;
            s[face] = s[face] < 0 ? -1.0 : 1.0;
        }
        ref.samples.push_back(point(s[0], s[1], s[2]));
    }
}

Reference MakeSphere(Rng& rng, const Vec& centre, double radius) {
    Reference ref;
    ref.kind = "sphere";
    ref.ball = true;
    ref.centre = centre;
    ref.radius = radius;
    for (int i = 0; i < 300; ++i) {
        const double r = i % 2 == 0 ? radius : radius * std::cbrt(rng.Uniform(0, 1));
        ref.samples.push_back(Add(centre, Scale(rng.UnitVector(), r)));
    }
    const auto c = ToFloat(centre);
    ref.engine = std::make_unique<Sphere>(c.data(), static_cast<float>(radius));
    return ref;
}

Reference MakeBox(Rng& rng, const Vec& centre, const Vec& e) {
    Reference ref;
    ref.kind = "box";
    const Vec axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int i = 0; i < 3; ++i) {
        AddSlab(ref, axes[i], centre, e[i]);
    }
    SampleBox(ref, rng, centre, axes, e);
    const auto lo = ToFloat(Sub(centre, e));
    const auto hi = ToFloat(Add(centre, e));
    ref.engine = std::make_unique<AABB>(lo.data(), hi.data());
    return ref;
}

Reference MakeOrientedBox(Rng& rng, const Vec& centre, const Vec& e) {
    Reference ref;
    ref.kind = "obb";
    // The box's frame: Y, then X perpendicular to it, Z = X x Y (its local axes X, Y, Z carry the
    // extents e0, e1, e2).
    const Vec y = rng.UnitVector();
    Vec xPerp;
    do {
        const Vec x = rng.UnitVector();
        xPerp = Sub(x, Scale(y, Dot(x, y)));
    } while (Dot(xPerp, xPerp) < 0.01);
    xPerp = Normalized(xPerp);
    const Vec z = Cross(xPerp, y);
    const Vec axes[3] = {xPerp, y, z};
    for (int i = 0; i < 3; ++i) {
        AddSlab(ref, axes[i], centre, e[i]);
    }
    SampleBox(ref, rng, centre, axes, e);
    auto box = std::make_unique<OBB>();
    const auto c = ToFloat(centre);
    const auto first = ToFloat(y);
    const auto second = ToFloat(xPerp);
    const auto extents = ToFloat(e);
    box->SetCenter(c.data());
    box->SetAxes(first.data(), second.data());
    box->SetExtents(extents.data());
    ref.engine = std::move(box);
    return ref;
}

struct Eye {
    Vec position;
    Vec forward;
    Vec up;
    Vec right;
    std::array<float, 4> orientation;
};

Eye RandomEye(Rng& rng) {
    Eye eye;
    eye.position = rng.InBox(-2, 2);
    const Vec axis = rng.UnitVector();
    const double half = rng.Uniform(-3.1, 3.1);
    const Vec u = Scale(axis, std::sin(half));
    eye.orientation = {static_cast<float>(u[0]), static_cast<float>(u[1]), static_cast<float>(u[2]),
                       static_cast<float>(std::cos(half))};
    auto rotate = [&](const Vec& v) {
        const Vec uv = Cross(u, v);
        const Vec uuv = Cross(u, uv);
        return Add(v, Add(Scale(uv, 2.0 * std::cos(half)), Scale(uuv, 2.0)));
    };
    eye.forward = rotate({0, 0, -1});
    eye.up = rotate({0, 1, 0});
    eye.right = rotate({1, 0, 0});
    return eye;
}

Reference MakeFrustum(Rng& rng, const Eye& eye, double fovDegrees, double aspect, double nearClip,
                      double farClip) {
    Reference ref;
    ref.kind = "frustum";
    const double tanV = std::tan(fovDegrees * M_PI / 360.0);
    const double tanH = tanV * aspect;
    auto at = [&](double x, double y, double z) {
        return Add(eye.position,
                   Add(Scale(eye.right, x), Add(Scale(eye.up, y), Scale(eye.forward, z))));
    };
    // Sides through the eye: the plane containing the eye and the edge direction.
    auto side = [&](const Vec& a, const Vec& b) {
        const Vec n = Normalized(Cross(a, b));
        ref.planes.push_back({n[0], n[1], n[2], -Dot(n, eye.position)});
    };
    const Vec tr = Sub(at(tanH, tanV, 1), eye.position);
    const Vec tl = Sub(at(-tanH, tanV, 1), eye.position);
    const Vec br = Sub(at(tanH, -tanV, 1), eye.position);
    const Vec bl = Sub(at(-tanH, -tanV, 1), eye.position);
    side(tl, tr);
    side(br, bl);
    side(bl, tl);
    side(tr, br);
    ref.planes.push_back({eye.forward[0], eye.forward[1], eye.forward[2],
                          -Dot(eye.forward, eye.position) - nearClip});
    ref.planes.push_back({-eye.forward[0], -eye.forward[1], -eye.forward[2],
                          Dot(eye.forward, eye.position) + farClip});
    for (int i = 0; i < 300; ++i) {
        const double z = i < 8 ? (i & 4 ? farClip : nearClip) : rng.Uniform(nearClip, farClip);
        const double sx = i < 8 ? (i & 2 ? 1 : -1) : rng.Uniform(-1, 1);
        const double sy = i < 8 ? (i & 1 ? 1 : -1) : rng.Uniform(-1, 1);
        ref.samples.push_back(at(sx * tanH * z, sy * tanV * z, z));
    }
    auto frustum = std::make_unique<Frustum>();
    frustum->SetFOV(static_cast<float>(fovDegrees));
    frustum->SetAspectRatio(static_cast<float>(aspect));
    frustum->SetNearClip(static_cast<float>(nearClip));
    frustum->SetFarClip(static_cast<float>(farClip));
    RenderSystem renderSystem;
    const auto position = ToFloat(eye.position);
    frustum->Update(position.data(), eye.orientation.data(), &renderSystem);
    ref.engine = std::move(frustum);
    return ref;
}

enum Shape { kSphere, kBox, kOBB };

Reference MakeShape(Rng& rng, Shape shape, const Vec& centre, double size) {
    switch (shape) {
        case kSphere:
            return MakeSphere(rng, centre, size);
        case kBox:
            return MakeBox(rng, centre,
                           {size * rng.Uniform(0.3, 1), size * rng.Uniform(0.3, 1),
                            size * rng.Uniform(0.3, 1)});
        default:
            return MakeOrientedBox(rng, centre,
                                   {size * rng.Uniform(0.3, 1), size * rng.Uniform(0.3, 1),
                                    size * rng.Uniform(0.3, 1)});
    }
}

bool AnyCommon(const Reference& a, const Reference& b, double margin) {
    for (const auto* cloud : {&a.samples, &b.samples}) {
        for (const Vec& p : *cloud) {
            if (a.Contains(p, margin) && b.Contains(p, margin)) {
                return true;
            }
        }
    }
    return false;
}

bool AllInside(const Reference& inner, const Reference& outer, double margin) {
    for (const Vec& p : inner.samples) {
        if (!outer.Contains(p, margin)) {
            return false;
        }
    }
    return true;
}

struct Tally {
    int cases = 0;
    int skipped = 0;
    std::map<int, int> answers;
};

// Checks one pair; answers false (and records why) when the test contradicts the samples.
void CheckPair(const Reference& self, const Reference& other, Tally& tally) {
    const bool common = AnyCommon(self, other, -kTouch);
    const bool otherInside = AllInside(other, self, kTouch);
    const bool selfInside = AllInside(self, other, kTouch);
    if (common != AnyCommon(self, other, kTouch) ||
        otherInside != AllInside(other, self, -kTouch) ||
        selfInside != AllInside(self, other, -kTouch)) {
        ++tally.skipped;
        return;
    }
    const int answer = self.engine->Intersect(*other.engine);
    ++tally.cases;
    ++tally.answers[answer];
    const std::string pair = self.kind + "-" + other.kind;
    switch (answer) {
        case INTERSECT_DISJOINT:
            EXPECT_FALSE(common) << pair << " answered disjoint but share a sampled point";
            break;
        case INTERSECT_INSIDE:
            EXPECT_TRUE(otherInside) << pair << " answered 0 but a point of the other lies outside";
            break;
        case INTERSECT_ENCLOSED:
            EXPECT_TRUE(selfInside) << pair << " answered 3 but a point of this lies outside";
            break;
        case INTERSECT_OVERLAP:
            break;
        default:
            ADD_FAILURE() << pair << " answered " << answer;
    }
}

void ExpectAnswersSeen(const char* pair, const Tally& tally, std::set<int> expected) {
    SCOPED_TRACE(pair);
    EXPECT_GT(tally.cases, 200);
    std::set<int> seen;
    for (const auto& [answer, count] : tally.answers) {
        seen.insert(answer);
    }
    EXPECT_EQ(seen, expected);
}

TEST(VolumeSampler, PairwiseTestsAgreeWithThePointSampler) {
    Rng rng(0x5EEDF00DULL);
    const Shape shapes[3] = {kSphere, kBox, kOBB};
    const char* names[3] = {"sphere", "box", "obb"};
    for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) {
            Tally tally;
            for (int i = 0; i < 300; ++i) {
                const Vec ca = rng.InBox(-1, 1);
                // Every third other volume sits close to this one's centre, so that containment
                // in both directions turns up.
                const Vec cb = i % 3 == 0 ? Add(ca, rng.InBox(-0.3, 0.3)) : rng.InBox(-3, 3);
                const Reference self = MakeShape(rng, shapes[a], ca, rng.Uniform(0.2, 2.5));
                const Reference other = MakeShape(rng, shapes[b], cb, rng.Uniform(0.2, 2.5));
                CheckPair(self, other, tally);
            }
            const std::string pair = std::string(names[a]) + "-" + names[b];
            // Box-box tests never answer 0 or 3.
            const bool boxPair = (a == kOBB && b != kSphere) || (b == kOBB && a != kSphere);
            ExpectAnswersSeen(pair.c_str(), tally,
                              boxPair ? std::set<int>{1, 2} : std::set<int>{0, 1, 2, 3});
        }
    }
}

TEST(VolumeSampler, FrustumTestsAgreeWithThePointSampler) {
    Rng rng(0xF0CA1ULL);
    for (Shape shape : {kSphere, kBox}) {
        Tally tally;
        for (int i = 0; i < 300; ++i) {
            const Eye eye = RandomEye(rng);
            const double nearClip = rng.Uniform(0.2, 1.0);
            const double farClip = nearClip + rng.Uniform(2.0, 8.0);
            const Reference frustum = MakeFrustum(rng, eye, rng.Uniform(30, 90),
                                                  rng.Uniform(0.75, 2.0), nearClip, farClip);
            const Vec centre =
                Add(Add(eye.position, Scale(eye.forward, rng.Uniform(-1, farClip + 1))),
                    rng.InBox(-2, 2));
            const Reference other = MakeShape(rng, shape, centre, rng.Uniform(0.1, 1.5));
            CheckPair(frustum, other, tally);
        }
        // A frustum never answers 3.
        ExpectAnswersSeen(shape == kSphere ? "frustum-sphere" : "frustum-box", tally, {0, 1, 2});
    }
}

// Marches along the ray in steps far finer than the touching margin.
bool RayReaches(const Reference& volume, const Vec& origin, const Vec& direction, double margin) {
    for (double t = 0.0; t < 16.0; t += 0.002) {
        if (volume.Contains(Add(origin, Scale(direction, t)), margin)) {
            return true;
        }
    }
    return false;
}

TEST(VolumeSampler, RayTestsAgreeWithAMarchAlongTheRay) {
    Rng rng(0x4A7ULL);
    for (Shape shape : {kSphere, kBox, kOBB}) {
        Tally tally;
        for (int i = 0; i < 300; ++i) {
            const Vec centre = rng.InBox(-1, 1);
            const Reference volume = MakeShape(rng, shape, centre, rng.Uniform(0.3, 2.0));
            // Every fifth ray starts at a point of the volume.
            const Vec origin =
                i % 5 == 1 ? volume.samples[i % volume.samples.size()] : rng.InBox(-4, 4);
            // Half the rays aim near the volume so that hits are common.
            const Vec direction = i % 2 == 0
                                      ? Normalized(Sub(Add(centre, rng.InBox(-2, 2)), origin))
                                      : rng.UnitVector();
            const bool inside = volume.Contains(origin, -kTouch);
            const bool reaches = RayReaches(volume, origin, direction, -kTouch);
            if (inside != volume.Contains(origin, kTouch) ||
                reaches != RayReaches(volume, origin, direction, kTouch)) {
                ++tally.skipped;
                continue;
            }
            const auto o = ToFloat(origin);
            const auto d = ToFloat(direction);
            const Ray ray(o.data(), d.data());
            const int answer = volume.engine->IntersectRay(ray);
            ++tally.cases;
            ++tally.answers[answer];
            if (inside) {
                EXPECT_EQ(answer, RAY_ORIGIN_INSIDE) << volume.kind;
            } else {
                EXPECT_EQ(answer, reaches ? RAY_HIT : RAY_MISS) << volume.kind;
            }
            if (answer != RAY_HIT || shape == kSphere) {
                continue;
            }
            // The boxes also say where: a point on the surface, at the distance given.
            float point[3];
            float t = -1.0f;
            const int again =
                shape == kBox
                    ? static_cast<const AABB&>(*volume.engine).IntersectRay(ray, point, &t)
                    : static_cast<const OBB&>(*volume.engine).IntersectRay(ray, point, &t);
            EXPECT_EQ(again, RAY_HIT);
            const Vec hit = {point[0], point[1], point[2]};
            EXPECT_TRUE(volume.Contains(hit, 1e-3)) << volume.kind;
            EXPECT_FALSE(volume.Contains(hit, -1e-3)) << volume.kind;
            const Vec expected = Add(origin, Scale(direction, t));
            EXPECT_NEAR(std::sqrt(Dot(Sub(hit, expected), Sub(hit, expected))), 0.0, 1e-4);
        }
        ExpectAnswersSeen(shape == kSphere ? "sphere ray"
                          : shape == kBox  ? "box ray"
                                           : "obb ray",
                          tally, {RAY_ORIGIN_INSIDE, RAY_HIT, RAY_MISS});
    }
}

}  // namespace
