// Every failure exit of the motion, grab and release commands on the real robot's settings, in one walk: its code and
// message, the grab state and obstacle map it leaves, the legs it sent and the record it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <set>
#include <stdexcept>
#include <thread>

#include "action_msgs/msg/goal_status_array.hpp"
#include "grab/pose_conversion.h"
#include "node_rig.h"
#include "ros_test_support.hpp"

namespace {

using Grab = Access::Grab;
using Release = Access::Release;
using Outcome = arm_sim::GoalOutcome;
using CancelGoal = control_msgs::action::FollowJointTrajectory::Impl::CancelGoalService;
using Clock = std::chrono::steady_clock;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
const Eigen::Vector3d kBoxTop = Eigen::Vector3f(0.56f, 0.31f, 0.07f).cast<double>();
const Eigen::Vector3d kPillarTop = Eigen::Vector3f(0.51f, 0.0f, 0.9f).cast<double>();

// The tool pointing down 11 cm above the box on the table, the box given in the tool's frame.
Grab::Request grabBox() {
  Grab::Request request;
  request.target_pose = {0.56, 0.31, 0.12, 1.0, 0.0, 0.0, 0.0};
  request.obb_pose = {0.0, 0.0, 0.11, 0.0, 0.0, 0.6, 0.8};
  request.obb_size = {0.12, 0.12, 0.12};
  return request;
}

std::pair<int32_t, std::string> answer(int32_t code) { return {code, ""}; }
template <typename Response>
std::pair<int32_t, std::string> answer(const Response& response) {
  return {response.code, response.message};
}

struct Exit {
  const char* what;
  std::function<void()> prepare;  // before the legs are counted
  std::function<std::pair<int32_t, std::string>()> call;
  int32_t code;
  const char* message;  // empty for "/move_to_goal", which answers a code only
  bool held_after = false;
  size_t legs = 0;  // trajectory goals the controller accepted
  // The record's file that begins with the log message (none: no record), and one that begins with the request.
  const char* log_file = nullptr;
  const char* log_message = nullptr;
  const char* request_file = nullptr;
  const char* request = nullptr;
};

TEST(CommandFailures, EveryExitAnswersItsCodeAndLeavesItsStateAndRecord) {
  const std::vector<double> home = {-0.8, -0.5, -0.4, 0.0, -0.67, 0.0};
  NodeRig rig(nodeConfig(Arm::Six, true), home);
  RosTwoWrapper& node = rig.node();
  fillObstacleMap(node);
  const Access::Cloud scene_cloud = Access::filteredCloud(node);
  const Crossing crossing = findCrossing(rig);
  ASSERT_FALSE(crossing.start.empty());
  Access::setCurrentJoints(node, crossing.start);

  // After each row the controller's script is reset.
  const auto grab = [&](const std::function<void(Grab::Request&)>& change, Outcome second = Outcome::Natural) {
    rig.onJointState([&rig, second](size_t) { rig.controller().setScript({second}); });
    Access::setCurrentJoints(node, home);
    Grab::Request request = grabBox();
    if (change) change(request);
    const auto response = Access::grab(node, request);
    rig.onJointState(nullptr);
    return answer(response);
  };
  std::vector<double> held_transition;
  const auto grabbed = [&] {
    EXPECT_EQ(grab(nullptr).first, 0);
    held_transition = Access::transitionPoint(node);
  };
  const auto refusedAfterGrab = [&] {
    grabbed();
    rig.controller().setScript({Outcome::Reject});
  };

  // Out of reach: no grab configuration, then a pause of 10 s to look at the cut-out (the second cloud the grab
  // publishes) that holds up no one else.
  bool scene_free_during_pause = false;
  const auto outOfReach = [&] {
    std::atomic<bool> running{true};
    const size_t clouds = rig.recorders().obstacle_cloud.count();
    std::thread camera([&] {
      if (!rig.recorders().obstacle_cloud.waitForCount(clouds + 2, kHangTimeout)) return;
      const auto asked = Clock::now();
      Access::octreeNodes(node);
      scene_free_during_pause = running && Clock::now() - asked < std::chrono::seconds(5);
    });
    const auto response = grab([](Grab::Request& r) { r.target_pose[0] = 3.0; });
    running = false;
    camera.join();
    return response;
  };
  // An object that fills the space around the tool and all the map holds: a grab configuration inside it, no
  // way to back off, and nothing left after the cut (whose snapshot is then empty, not the last grab's).
  const auto inStack = [&] {
    Access::Cloud stack;
    for (double z = 0.0; z < 0.4; z += 0.03) {
      stack += arm_sim::sampleSurfaces({{{{0.28, 0.03, z}, {0.84, 0.59, z + 0.01}}}}, 0.01);
    }
    Access::filteredCloud(node) = stack;
    const auto response = grab([](Grab::Request& r) {
      r.obb_pose = {0.0, 0.0, 0.11, 0.0, 0.0, 0.0, 1.0};
      r.obb_size = {0.7, 0.7, 0.7};
    });
    EXPECT_NE(readFile("remove_obb_obstacle.pcd").find("\nPOINTS 0\n"), std::string::npos);
    fillObstacleMap(node);
    return response;
  };
  // The carried box cannot be attached to the tool link.
  int attempts = 0;
  const auto unattachable = [&] {
    auto& state = *Access::scene(node).getRobotState();
    state.setAttachedBodyUpdateCallback([&attempts](robot_model::core::AttachedBody*, bool attached) {
      if (attached && ++attempts) throw std::runtime_error("no tool link");
    });
    const auto response = answer(Access::release(node, releaseTo(home)));
    state.setAttachedBodyUpdateCallback(robot_model::core::RobotState::AttachedBodyCallback());
    return response;
  };
  Release::Request stay;
  stay.cmd_type = 1;
  stay.release_pose = {0.1, 0.2, 0.3, 0.0, 0.0, 0.6, 0.8};
  const std::vector<double> short_joints(home.begin(), home.end() - 1);
  std::vector<double> beyond_limits = home;
  beyond_limits[0] = 3.2;
  std::vector<double> not_finite = home;
  not_finite[1] = kNaN;
  // Someone else cancels every goal of the controller once it has accepted one more.
  auto cancel = rig.peer()->create_client<CancelGoal>(std::string(kActionName) + "/_action/cancel_goal");
  const auto cancelledElsewhere = [&] {
    const size_t accepted = rig.controller().acceptedGoals().size();
    std::thread canceller([&] {
      wait_until([&] { return rig.controller().acceptedGoals().size() > accepted; });
      cancel->async_send_request(std::make_shared<CancelGoal::Request>());
    });
    const auto response = answer(Access::moveToGoal(node, crossing.start));
    canceller.join();
    return response;
  };
  // A goal that never ends is given up after its time plus 5 s (polls of 10 ms: fewer than the 201 polls'
  // minimum) and cancelled: the controller shows it being cancelled before the next goal can preempt it.
  Access::setResultWaitCycle(node, std::chrono::milliseconds(10));
  arm_sim::TopicRecorder<action_msgs::msg::GoalStatusArray> statuses(
      rig.peer(), std::string(kActionName) + "/_action/status", rclcpp::QoS(100).transient_local());
  const auto cancelledGoals = [&statuses] {
    std::set<std::array<uint8_t, 16>> cancelled;
    for (const auto& message : statuses.messages()) {
      for (const auto& status : message->status_list) {
        if (status.status == action_msgs::msg::GoalStatus::STATUS_CANCELING ||
            status.status == action_msgs::msg::GoalStatus::STATUS_CANCELED) {
          cancelled.insert(status.goal_info.goal_id.uuid);
        }
      }
    }
    return cancelled.size();
  };
  Clock::duration never_ended_after{};
  double never_ended_duration = 0.0;  // of its trajectory, in seconds
  const auto neverEnds = [&] {
    const size_t cancelled_before = cancelledGoals();
    const auto sent = Clock::now();
    const auto response = answer(Access::moveToGoal(node, crossing.goal));
    never_ended_after = Clock::now() - sent;
    const auto end = rig.controller().acceptedGoals().back().points.back().time_from_start;
    never_ended_duration = end.sec + end.nanosec * 1e-9;
    EXPECT_TRUE(wait_until([&] { return cancelledGoals() > cancelled_before; }));
    return response;
  };
  const auto script = [&](Outcome outcome) { return [&rig, outcome] { rig.controller().setScript({outcome}); }; };
  const char* const kNotMoved = "armMoveJointsCmd MoveToGoalNotUpdateObstacle failed!";
  const char* const kNoGoal = "armMoveJointsCmd generate goal point failed!";
  const char* const kPlanFailed = "robot avoid obstacles plan failed!";
  const char* const kNotHeld = "armReleaseCmd failed, grab goal does not update!";
  const char* const kInvalid = "invalid grab request!";

  // Each makes the call of a row.
  const auto joints = [&](std::vector<double> q, int32_t cmd_type = 0) {
    return [&node, q, cmd_type] { return answer(Access::moveJoints(node, jointRequest(q, cmd_type))); };
  };
  const auto pose = [&](Pose7 p) { return [&node, p] { return answer(Access::moveJoints(node, poseRequest(p))); }; };
  const auto toward = [&](std::vector<double> q) { return [&node, q] { return answer(Access::moveToGoal(node, q)); }; };
  const auto releaseAt = [&](std::vector<double> q) {
    return [&node, q] { return answer(Access::release(node, releaseTo(q))); };
  };
  const auto grabWith = [&](void (*change)(Grab::Request&), Outcome second = Outcome::Natural) {
    return [&grab, change, second] { return grab(change, second); };
  };
  const std::vector<Exit> exits = {
      {"wrong size", nullptr, joints({0.0, 0.0}), -20, "armMoveJointsCmd n_dof_ dose not equal data.size();!"},
      {"joint not finite", nullptr, joints(not_finite), -21, kNotMoved, false, 0, "movejointscmd_log_error.txt",
       "MoveJointsCmd failed(path plan), error code = -21"},
      {"no motion asked", nullptr, joints({}, 2), 0, "success"},
      {"pose not finite", nullptr, pose({0.4, kNaN, 0.3, 0, 0, 0, 1}), -22, kNoGoal},
      {"pose out of reach", nullptr, pose({3.0, 0, 0.3, 0, 0, 0, 1}), -22, kNoGoal},
      {"joint goal inside the pillar", nullptr, joints(crossing.inside), -21, kNotMoved, false, 0,
       "movejointscmd_log_error.txt", "MoveJointsCmd failed(path plan), error code = -21", "joint_positions.txt",
       "2,6;\n"},
      {"trajectory aborted", script(Outcome::Abort), joints(crossing.goal), -21, kNotMoved, false, 1,
       "movejointscmd_log_error.txt", "MoveJointsCmd failed(arm controller run), error code = -21"},
      // The wait for the result of a goal.
      {"goal refused", script(Outcome::Reject), toward(crossing.goal), -10, ""},
      {"goal aborted", script(Outcome::Abort), toward(crossing.goal), -2, "", false, 1},
      {"goal cancelled elsewhere", script(Outcome::NeverFinish), cancelledElsewhere, -3, "", false, 1},
      {"goal never ends", script(Outcome::NeverFinish), neverEnds, -10, "", false, 1},
      {"goal never ends again", script(Outcome::NeverFinish), toward(crossing.start), -10, "", false, 1},
      // The given-up goal's result (cancelled, or aborted when the next one preempts it) comes meanwhile.
      {"late result ignored", nullptr, toward(crossing.goal), 0, "", false, 1},
      {"\"/move_to_goal\" of the wrong size", nullptr, toward(short_joints), -1, ""},
      {"\"/move_to_goal\" not finite", nullptr, toward(not_finite), -2, ""},
      {"\"/move_to_goal\" inside the pillar", nullptr, toward(crossing.inside), -2, ""},
      {"release without a grab", nullptr, releaseAt(home), -7, kNotHeld},
      // The records give the poses with the scalar part first.
      {"transition point refused", script(Outcome::Reject), grabWith(nullptr), -5, kPlanFailed, false, 0,
       "grabcmd_log_error.txt", "Go to transition point failed(arm controller run), error code = -5", "grabcmd.txt",
       "0.560000,0.310000,0.120000,0.000000,1.000000,0.000000,0.000000;\n"
       "0.000000,0.000000,0.110000,0.800000,0.000000,0.000000,0.600000;\n"
       "0.120000,0.120000,0.120000;\n"},
      {"grasp refused", nullptr, grabWith(nullptr, Outcome::Reject), -6, kPlanFailed, false, 1, "grabcmd_log_error.txt",
       "From transition point to grab point failed!(arm controller run), error code = -6"},
      {"release after a failed grab", nullptr, releaseAt(home), -7, kNotHeld},
      {"no transition point", nullptr, inStack, -4, "generate transition_point failed!", false, 0,
       "grabcmd_log_error.txt", "generate transition_point failed, error code = -4"},
      {"grab out of reach", nullptr, outOfReach, -3, "generate grab_goal failed!", false, 0, "grabcmd_log_error.txt",
       "generate grab_goal failed, error code = -3"},
      // Refused before anything is cut or moved.
      {"negative edge", nullptr, grabWith([](Grab::Request& r) { r.obb_size[2] = -0.1; }), -11, kInvalid},
      {"edge not finite", nullptr, grabWith([](Grab::Request& r) { r.obb_size[0] = kNaN; }), -11, kInvalid},
      {"target not finite", nullptr, grabWith([](Grab::Request& r) { r.target_pose[2] = kNaN; }), -11, kInvalid},
      {"box pose infinite", nullptr, grabWith([](Grab::Request& r) { r.obb_pose[0] = 1 / 0.0; }), -11, kInvalid},
      {"quaternion off", nullptr, grabWith([](Grab::Request& r) { r.target_pose[3] = 1.01; }), -11, kInvalid},
      // Held from here on: a refused grab or release keeps the grab as it was.
      {"grab while holding", grabbed, grabWith(nullptr), -11, kInvalid, true},
      {"release joints one short", nullptr, releaseAt(short_joints), -9, "n_dof_ dose not equal data.size();!", true},
      {"release joint not finite", nullptr, releaseAt(not_finite), -9, "release joints are not finite!", true},
      // Without release joints only the way back to the transition point.
      {"release where it is", nullptr, [&] { return answer(Access::release(node, stay)); }, 0, "success", false, 1},
      {"box not attachable", grabbed, unattachable, -102, "armReleaseCmd attach grab object failed!", true, 1},
      // Tried again from the transition point, where the arm stands.
      {"release once attachable", nullptr, releaseAt(home), 0, "success", false, 1},
      {"way back refused", refusedAfterGrab, [&] { return answer(Access::release(node, stay)); }, -8,
       "armReleaseCmd From grab point to transition point failed 1!", true, 0, "releasecmd_log_error.txt",
       "From grab point to transition point failed(arm controller run), error code =-8", "releasecmd.txt",
       "dof of robot:6,cmd type:1;\n0.100000,0.200000,0.300000,0.800000,0.000000,0.000000,0.600000;\n"},
      {"release joints beyond the limits", nullptr, releaseAt(beyond_limits), -9,
       "release joints are out of the joint limits!", true},
  };
  for (const Exit& exit : exits) {
    SCOPED_TRACE(exit.what);
    testing::internal::CaptureStdout();
    if (exit.prepare) exit.prepare();
    const size_t goals_before = rig.controller().acceptedGoals().size();
    const auto [code, message] = exit.call();
    rig.controller().setScript({});
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, exit.code) << output;
    EXPECT_EQ(message, exit.message);
    EXPECT_EQ(Access::holding(node), exit.held_after);
    EXPECT_EQ(Access::mapFrozen(node), exit.held_after);
    // The box is modelled on the tool while held, unless it could not be attached.
    EXPECT_EQ(Access::attachedCopy(node) != nullptr, exit.held_after && exit.code != -102);
    EXPECT_EQ(rig.controller().acceptedGoals().size() - goals_before, exit.legs);
    // The held box stays where it was grabbed and cut out of the map, whatever the failed command did.
    EXPECT_TRUE(!exit.held_after ||
                (Access::transitionPoint(node) == held_transition && !Access::occupied(node, kBoxTop)));
    EXPECT_TRUE(Access::occupied(node, kPillarTop));
    // A grab whose legs failed leaves the map as the cameras showed it: the box back in it, nothing standing in for
    // what it stands on.
    if (exit.message == kPlanFailed) {
      EXPECT_TRUE(Access::occupied(node, kBoxTop));
      Access::withObstacleMap(node, [](auto&, auto&, auto& scene) {
        EXPECT_EQ(scene.getWorld()->objects_.count("grab_surface"), 0u);
      });
    }
    // The record directories under "data", removed once read.
    std::vector<std::filesystem::path> records;
    if (std::filesystem::exists("data")) {
      for (const auto& entry : std::filesystem::directory_iterator("data")) records.push_back(entry.path());
    }
    ASSERT_EQ(records.size(), exit.log_file ? 1u : 0u);
    for (const auto& [file, start] : {std::pair{exit.log_file, exit.log_message}, {exit.request_file, exit.request}}) {
      EXPECT_TRUE(!file || readFile(records[0] / file).find(start) == 0) << file;
    }
    std::filesystem::remove_all("data");
  }
  EXPECT_TRUE(scene_free_during_pause);
  // Not before its polls have covered the trajectory's time plus 5 s; the upper bound only tells an end from a hang.
  EXPECT_GE(never_ended_after, std::chrono::duration<double>(never_ended_duration + 5.0));
  EXPECT_LT(never_ended_after, kHangTimeout);
  // The goal cancelled elsewhere and the one given up.
  EXPECT_GE(cancelledGoals(), 2u);
  EXPECT_EQ(attempts, 1);
}

}  // namespace
