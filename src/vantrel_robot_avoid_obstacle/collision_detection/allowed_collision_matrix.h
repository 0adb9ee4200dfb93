#pragma once

#include <cstdint>
#include <map>
#include <string>

#include <boost/function.hpp>

#include "collision_detection/collision_types.h"

namespace collision_detection
{
namespace AllowedCollision
{
enum Type
{
  NEVER = 0,
  ALWAYS = 1,
  CONDITIONAL = 2,
};
}

using DecideContactFn = boost::function<bool(Contact&)>;

// Which pairs of bodies (links, attached bodies, world objects) may touch.
class AllowedCollisionMatrix
{
public:
  void setEntry(const std::string& name1, const std::string& name2, bool allowed);
  void setEntry(const std::string& name1, const std::string& name2, const DecideContactFn& fn);
  void setDefaultEntry(const std::string& name, bool allowed);
  void setDefaultEntry(const std::string& name, const DecideContactFn& fn);

  // False when the matrix knows nothing about the pair; type is then left unchanged.
  bool getAllowedCollision(const std::string& name1, const std::string& name2,
                           AllowedCollision::Type& type) const;
  // The decide function for a conditional pair: the names' defaults when either has one
  // (both must accept), else the pair's own. False when there is none.
  bool getAllowedCollision(const std::string& name1, const std::string& name2, DecideContactFn& fn) const;

  // Identifies the present contents: changed by every change, different for matrices made apart,
  // shared by copies. Never 0.
  std::uint64_t revision() const { return revision_.value; }

private:
  // A fresh value for a new or changed matrix, and for one moved from.
  struct Revision
  {
    Revision();
    Revision(const Revision&) = default;
    Revision(Revision&& other) noexcept;
    Revision& operator=(const Revision&) = default;
    Revision& operator=(Revision&& other) noexcept;
    void renew();

    std::uint64_t value;
  };

  Revision revision_;
  std::map<std::string, std::map<std::string, AllowedCollision::Type>> entries_;
  std::map<std::string, std::map<std::string, DecideContactFn>> allowed_contacts_;
  std::map<std::string, AllowedCollision::Type> default_entries_;
  std::map<std::string, DecideContactFn> default_allowed_contacts_;
};
}  // namespace collision_detection
