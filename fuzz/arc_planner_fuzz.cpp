// Arbitrary points, tolerance, speed and matrices through the arc planner:
// no crash, no sanitizer finding, no hang, and every plan it accepts walks to
// exactly its end point with the documented count, flags and result.
#include "motion/arc_geometry.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Reads the input front to back; zeros once it runs out.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    template <typename T>
    T Take()
    {
        T value{};
        const std::size_t n = size_ < sizeof value ? size_ : sizeof value;
        std::memcpy(&value, data_, n);
        data_ += n;
        size_ -= n;
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

void Require(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

// Small coordinates make circles the planner accepts; a shift taken from the
// input lets the fuzzer reach both those and the full 32-bit range.
std::int32_t Coordinate(Input& in, unsigned shift)
{
    return in.Take<std::int32_t>() >> shift;
}

void CheckPlan(Input& in)
{
    const std::uint8_t mode = in.Take<std::uint8_t>();
    const unsigned shift = mode & 31u;
    const unsigned toleranceShift = in.Take<std::uint8_t>() & 31u;
    POINT_3D p[3];
    for (POINT_3D& point : p) {
        point.x = Coordinate(in, shift);
        point.y = Coordinate(in, shift);
        point.z = Coordinate(in, shift);
    }
    if ((mode & 0x20u) == 0) {
        p[0] = POINT_3D{0, 0, 0}; // as every sender passes it
    }
    const std::uint32_t tolerance = in.Take<std::uint32_t>() >> toleranceShift;
    const std::uint32_t speed = in.Take<std::uint32_t>();
    const bool endsPath = (mode & 0x40u) != 0;

    const velkor::ArcPlan plan = velkor::PlanArc(&p[0], &p[1], &p[2], tolerance, speed, endsPath);
    if (!plan.ok()) {
        Require(plan.result == velkor::kArcDegenerate && plan.chords == 0);
        velkor::ChordWalker none(plan);
        velkor::Chord chord;
        Require(!none.Next(chord));
        return;
    }
    Require(plan.chords >= 1 && plan.chords <= velkor::kMaxArcChords);
    Require(plan.result != velkor::kArcDegenerate);
    Require(plan.speedLimited ? plan.result <= 0 : plan.result >= 0);
    Require(plan.sweepDegrees > 0.0 && plan.sweepDegrees < 360.0 + 1e-6);

    // Every chord end before the last lies where the start offset turned by
    // k steps about the normal puts it, to within the drift the planner's
    // range check allows for: the check is only sound if the walk keeps to it.
    const double* u = plan.startOffset;
    const double* n = plan.normal;
    const double along = (n[0] * u[0] + n[1] * u[1]) + n[2] * u[2];
    const double ahead[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
    const double drift = plan.radius * ((plan.chords + 2.0) * 64.0 * 2.220446049250313e-16) + 2.0;

    velkor::ChordWalker walker(plan);
    velkor::Chord chord;
    std::int64_t sum[3] = {0, 0, 0};
    std::uint32_t count = 0;
    while (walker.Next(chord)) {
        ++count;
        Require(count <= plan.chords);
        Require(chord.endFlag == (count == plan.chords && endsPath ? 1 : 0));
        sum[0] += chord.x;
        sum[1] += chord.y;
        sum[2] += chord.z;
        for (std::int64_t s : sum) {
            Require(s >= INT32_MIN && s <= INT32_MAX);
        }
        if (count < plan.chords) {
            const double t = plan.step * count;
            const double c = std::cos(t) - 1.0;
            const double s = std::sin(t);
            for (int k = 0; k < 3; ++k) {
                const double exact = (u[k] - along * n[k]) * c + ahead[k] * s;
                Require(std::fabs(static_cast<double>(sum[k]) - exact) <= drift);
            }
        }
    }
    Require(count == plan.chords);
    Require(sum[0] == std::int64_t(p[2].x) - p[0].x);
    Require(sum[1] == std::int64_t(p[2].y) - p[0].y);
    Require(sum[2] == std::int64_t(p[2].z) - p[0].z);
}

void CheckInversion(Input& in)
{
    double a[9];
    for (double& v : a) {
        v = in.Take<double>();
    }
    const int status = velkor::INVERT_MATRIX_3X3(a);
    Require(status == 0 || status == -1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in(data, size);
    if (size > 0 && (data[0] & 0x80u) != 0) {
        in.Take<std::uint8_t>();
        CheckInversion(in);
    } else {
        CheckPlan(in);
    }
    return 0;
}
