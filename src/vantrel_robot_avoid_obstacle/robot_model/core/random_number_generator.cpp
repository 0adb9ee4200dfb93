#include "robot_model/core/random_number_generator.h"

#include <cmath>

namespace robot_model {
namespace core {

RandomNumberGenerator::RandomNumberGenerator(std::uint32_t seed) : generator_(seed)
{
}

void RandomNumberGenerator::randomQuaternion(double value[4])
{
  constexpr double kTwoPi = 2.0 * 3.14159265358979323846;
  const double u1 = uniform01();
  const double u2 = uniform01();
  const double u3 = uniform01();
  const double s1 = std::sqrt(1.0 - u1);
  const double s2 = std::sqrt(u1);
  value[0] = s1 * std::sin(kTwoPi * u2);
  value[1] = s1 * std::cos(kTwoPi * u2);
  value[2] = s2 * std::sin(kTwoPi * u3);
  value[3] = s2 * std::cos(kTwoPi * u3);
}

}  // namespace core
}  // namespace robot_model
