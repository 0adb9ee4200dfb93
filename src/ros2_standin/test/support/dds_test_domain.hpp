// The DDS domain of a test process. Tests that talk DDS run beside each other, and beside other
// checkouts' test runs on the same machine: each process takes a domain of its own.
#ifndef ROS2_STANDIN_TEST_SUPPORT_DDS_TEST_DOMAIN_HPP_
#define ROS2_STANDIN_TEST_SUPPORT_DDS_TEST_DOMAIN_HPP_

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

// Claims a domain for the life of this process and sets ROS_DOMAIN_ID to it, for this process and the
// peers it starts. The search starts at a domain derived from the process id; a domain is taken only
// while no other process holds the lock file named after it. Domain 0, where programs started by hand
// meet, is left alone. Later calls return the same domain.
inline int claim_dds_test_domain()
{
  static const int domain = [] {
      constexpr int kDomains = 232;  // 1 to 232
      const int first = static_cast<int>(getpid() % kDomains);
      for (int i = 0; i < kDomains; ++i) {
        const int candidate = 1 + (first + i) % kDomains;
        const std::string lock = "/tmp/rao_dds_test_domain_" + std::to_string(candidate) + ".lock";
        const int fd = open(lock.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
          continue;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
          // The descriptor stays open, and so the lock held, until the process ends.
          setenv("ROS_DOMAIN_ID", std::to_string(candidate).c_str(), 1);
          return candidate;
        }
        close(fd);
      }
      throw std::runtime_error("every DDS test domain is taken");
    }();
  return domain;
}

#endif  // ROS2_STANDIN_TEST_SUPPORT_DDS_TEST_DOMAIN_HPP_
