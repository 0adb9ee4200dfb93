#pragma once

#include <boost/random/mersenne_twister.hpp>
#include <boost/random/normal_distribution.hpp>
#include <boost/random/uniform_real_distribution.hpp>
#include <cstdint>

namespace robot_model {
namespace core {

// Random draws for joint sampling. Not thread safe: one generator per thread.
class RandomNumberGenerator
{
public:
  explicit RandomNumberGenerator(std::uint32_t seed);

  // Uniform on [0, 1).
  double uniform01() { return uniform_(generator_); }
  // lo + uniform01 * (hi - lo).
  double uniformReal(double lo, double hi) { return lo + uniform01() * (hi - lo); }
  // Standard normal.
  double gaussian01() { return normal_(generator_); }
  // A unit quaternion (x, y, z, w), uniform over rotations.
  void randomQuaternion(double value[4]);

private:
  boost::random::mt19937 generator_;
  boost::random::uniform_real_distribution<double> uniform_{ 0.0, 1.0 };
  boost::random::normal_distribution<double> normal_{ 0.0, 1.0 };
};

}  // namespace core
}  // namespace robot_model
