#include "collision_detection/allowed_collision_matrix.h"

#include <atomic>

namespace collision_detection
{
namespace
{
template <typename Value>
const Value* findPair(const std::map<std::string, std::map<std::string, Value>>& table, const std::string& name1,
                      const std::string& name2)
{
  auto outer = table.find(name1);
  if (outer == table.end())
    return nullptr;
  auto inner = outer->second.find(name2);
  return inner == outer->second.end() ? nullptr : &inner->second;
}

void erasePair(std::map<std::string, std::map<std::string, DecideContactFn>>& table, const std::string& name1,
               const std::string& name2)
{
  auto outer = table.find(name1);
  if (outer != table.end())
    outer->second.erase(name2);
}

bool bothAccept(const DecideContactFn& fn1, const DecideContactFn& fn2, Contact& contact)
{
  return fn1(contact) && fn2(contact);
}

std::uint64_t nextRevision()
{
  static std::atomic<std::uint64_t> next{ 1 };
  return next.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

AllowedCollisionMatrix::Revision::Revision() : value(nextRevision())
{
}

AllowedCollisionMatrix::Revision::Revision(Revision&& other) noexcept : value(other.value)
{
  other.renew();
}

AllowedCollisionMatrix::Revision& AllowedCollisionMatrix::Revision::operator=(Revision&& other) noexcept
{
  value = other.value;
  other.renew();
  return *this;
}

void AllowedCollisionMatrix::Revision::renew()
{
  value = nextRevision();
}

void AllowedCollisionMatrix::setEntry(const std::string& name1, const std::string& name2, bool allowed)
{
  revision_.renew();
  const AllowedCollision::Type type = allowed ? AllowedCollision::ALWAYS : AllowedCollision::NEVER;
  entries_[name2][name1] = type;
  entries_[name1][name2] = type;
  erasePair(allowed_contacts_, name1, name2);
  erasePair(allowed_contacts_, name2, name1);
}

void AllowedCollisionMatrix::setEntry(const std::string& name1, const std::string& name2, const DecideContactFn& fn)
{
  revision_.renew();
  entries_[name2][name1] = AllowedCollision::CONDITIONAL;
  entries_[name1][name2] = AllowedCollision::CONDITIONAL;
  allowed_contacts_[name2][name1] = fn;
  allowed_contacts_[name1][name2] = fn;
}

void AllowedCollisionMatrix::setDefaultEntry(const std::string& name, bool allowed)
{
  revision_.renew();
  default_entries_[name] = allowed ? AllowedCollision::ALWAYS : AllowedCollision::NEVER;
  default_allowed_contacts_.erase(name);
}

void AllowedCollisionMatrix::setDefaultEntry(const std::string& name, const DecideContactFn& fn)
{
  revision_.renew();
  default_entries_[name] = AllowedCollision::CONDITIONAL;
  default_allowed_contacts_[name] = fn;
}

bool AllowedCollisionMatrix::getAllowedCollision(const std::string& name1, const std::string& name2,
                                                 AllowedCollision::Type& type) const
{
  auto default1 = default_entries_.find(name1);
  auto default2 = default_entries_.find(name2);
  if (default1 != default_entries_.end())
  {
    if (default2 == default_entries_.end())
    {
      type = default1->second;
      return true;
    }
    if (default1->second == AllowedCollision::NEVER || default2->second == AllowedCollision::NEVER)
      type = AllowedCollision::NEVER;
    else if (default1->second == AllowedCollision::CONDITIONAL || default2->second == AllowedCollision::CONDITIONAL)
      type = AllowedCollision::CONDITIONAL;
    else
      type = AllowedCollision::ALWAYS;
    return true;
  }
  if (default2 != default_entries_.end())
  {
    type = default2->second;
    return true;
  }
  if (const AllowedCollision::Type* entry = findPair(entries_, name1, name2))
  {
    type = *entry;
    return true;
  }
  return false;
}

bool AllowedCollisionMatrix::getAllowedCollision(const std::string& name1, const std::string& name2,
                                                 DecideContactFn& fn) const
{
  auto default1 = default_allowed_contacts_.find(name1);
  auto default2 = default_allowed_contacts_.find(name2);
  if (default1 == default_allowed_contacts_.end() && default2 == default_allowed_contacts_.end())
  {
    const DecideContactFn* own = findPair(allowed_contacts_, name1, name2);
    if (own == nullptr)
      return false;
    fn = *own;
  }
  else if (default2 == default_allowed_contacts_.end())
    fn = default1->second;
  else if (default1 == default_allowed_contacts_.end())
    fn = default2->second;
  else
  {
    const DecideContactFn fn1 = default1->second;
    const DecideContactFn fn2 = default2->second;
    fn = [fn1, fn2](Contact& contact) { return bothAccept(fn1, fn2, contact); };
  }
  return !fn.empty();
}
}  // namespace collision_detection
