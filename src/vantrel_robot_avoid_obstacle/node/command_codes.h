#pragma once

#include <cstdint>
#include <string>

// The codes the node's commands answer and its motions return. Several meanings share a value: each command
// has its own table.
namespace command_code {

constexpr int32_t kSuccess = 0;

// The end of a trajectory goal.
constexpr int32_t kGoalResultUnknown = -1;
constexpr int32_t kGoalAborted = -2;
constexpr int32_t kGoalCanceled = -3;
constexpr int32_t kNoActionServer = -3;
// Rejected, not ended in time, too short to send, or the process shutting down.
constexpr int32_t kGoalNotPlayed = -10;

// A move to a joint goal whose planning failed; any other failure is the goal's own code.
constexpr int32_t kPlanningFailed = -201;

// "/move_to_goal".
constexpr int32_t kGoalSizeWrong = -1;
constexpr int32_t kGoalPlanningFailed = -2;

// ArmMoveJoints.
constexpr int32_t kJointCountWrong = -20;
constexpr int32_t kJointGoalFailed = -21;
constexpr int32_t kPoseGoalUnsolved = -22;
constexpr int32_t kPoseGoalFailed = -24;

// ArmGrab.
constexpr int32_t kGrabRequestInvalid = -11;
constexpr int32_t kNoGrabGoal = -3;
constexpr int32_t kNoTransitionPoint = -4;
constexpr int32_t kToTransitionPointFailed = -5;
constexpr int32_t kIntoGraspFailed = -6;

// ArmRelease.
constexpr int32_t kNothingHeld = -7;
constexpr int32_t kBackToTransitionPointFailed = -8;
constexpr int32_t kReleaseJointsInvalid = -9;
constexpr int32_t kToReleasePointFailed = -101;
constexpr int32_t kAttachFailed = -102;

// What a command answers for the code of the planning or motion it ran: success stays success, every failure
// becomes the command's own `failure`.
constexpr int32_t commandCode(int32_t code, int32_t failure) { return code == kSuccess ? kSuccess : failure; }

// The record's text for a failed leg: `what`, then whether planning or the arm controller failed (from the
// leg's code), then `code_text`.
std::string legFailureMessage(const char* what, int32_t leg_code, const char* code_text);

}  // namespace command_code
