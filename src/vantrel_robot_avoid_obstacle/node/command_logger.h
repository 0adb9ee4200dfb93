#pragma once

#include <string>
#include <vector>

#include "planning/joint_path.h"

// Records each failed command on disk: a new directory "data/<local time>" holding the failure message, the
// joint path of the failed move, for grab and release the command itself, and copies of the two
// obstacle-cloud snapshots. Pose values come in the order x, y, z, qw, qx, qy, qz. A record file that cannot be
// opened or written whole is reported (with its path and the error when a write fails) and ends the record;
// callers are told nothing.
class CommandLogger
{
public:
  // Creates "data" when missing, then "data/<%Y-%m-%d-%H:%M:%S>"; when that is taken (a second log within
  // the same second) "-2", "-3", ... is appended. Sets time_stamp_ to the directory; 0, or -1 when no
  // directory could be made.
  int createTimeStampDirectory();
  // "joint_positions.txt" in the current directory; nothing for an empty path.
  void saveJointPoints(const JointPath& path);

  void saveMoveJointsCmdLog(std::string message, std::string cloud_file, const JointPath& path);
  void saveGrabCmdLog(const double* obb_size, std::string cloud_file, std::string message, const JointPath& path,
                      double target_x, double target_y, double target_z, double target_qw, double target_qx,
                      double target_qy, double target_qz, double box_x, double box_y, double box_z, double box_qw,
                      double box_qx, double box_qy, double box_qz);
  // cmd_type 0: `release` holds joint values, written up to index dof - 1; otherwise exactly seven pose values.
  void saveReleaseCmdLog(int dof, int cmd_type, std::vector<double> release, std::string message,
                         const JointPath& path);

  // The current log directory; empty between logs.
  std::string time_stamp_;

private:
  // Empties time_stamp_, makes the record's directory (reporting `failure_message` when it cannot) and copies
  // the snapshots into it.
  bool beginRecord(const char* failure_message, const std::string& cloud_file);
  // The failure message and the joint path; time_stamp_ emptied once both are written.
  void finishRecord(const char* error_file, const std::string& message, const JointPath& path);
};

// Byte copy. A missing source still leaves an empty destination; both outcomes are reported on the console, a
// failed read or write with the file and the error.
void copyFile(const std::string& source, const std::string& destination);
