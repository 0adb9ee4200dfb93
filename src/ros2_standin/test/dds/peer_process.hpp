// Runs the test peer as a child process for the life of the object; closing its stdin ends it.
#ifndef ROS2_STANDIN_TEST_DDS_PEER_PROCESS_HPP_
#define ROS2_STANDIN_TEST_DDS_PEER_PROCESS_HPP_

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

extern char ** environ;

class PeerProcess
{
public:
  explicit PeerProcess(const std::string & path)
  {
    int fds[2];
    if (pipe(fds) != 0) {
      throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    char * argv[] = {const_cast<char *>(path.c_str()), nullptr};
    const int failed = posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (failed) {
      close(fds[1]);
      throw std::runtime_error("cannot start " + path);
    }
    stdin_ = fds[1];
  }

  ~PeerProcess()
  {
    close(stdin_);
    int status = 0;
    waitpid(pid_, &status, 0);
  }

  PeerProcess(const PeerProcess &) = delete;
  PeerProcess & operator=(const PeerProcess &) = delete;

private:
  pid_t pid_ = 0;
  int stdin_ = -1;
};

#endif  // ROS2_STANDIN_TEST_DDS_PEER_PROCESS_HPP_
