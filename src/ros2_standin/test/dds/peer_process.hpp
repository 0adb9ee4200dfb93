// Runs the test peer as a child process for the life of the object; closing its stdin ends it.
#ifndef ROS2_STANDIN_TEST_DDS_PEER_PROCESS_HPP_
#define ROS2_STANDIN_TEST_DDS_PEER_PROCESS_HPP_

#include <cstdio>
#include <stdexcept>
#include <string>

class PeerProcess
{
public:
  explicit PeerProcess(const std::string & path)
  : stdin_(popen(("exec '" + path + "'").c_str(), "w"))
  {
    if (!stdin_) {
      throw std::runtime_error("cannot start " + path);
    }
  }

  // Waits for the peer to end.
  ~PeerProcess() {pclose(stdin_);}

  PeerProcess(const PeerProcess &) = delete;
  PeerProcess & operator=(const PeerProcess &) = delete;

private:
  FILE * stdin_;
};

#endif  // ROS2_STANDIN_TEST_DDS_PEER_PROCESS_HPP_
