// The codec's samples checked against Cyclone's own serializer, driven by hand-written IDL of the
// same types: Cyclone must read each sample back to the field values that went in, and write
// exactly the same bytes again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "codec_samples.hpp"
#include "dds/ddsi/ddsi_cdrstream.h"
#include "dds_transport/cdr_codec.hpp"
#include "reference_types.h"

namespace
{

// Cyclone reads the codec's sample of the message into its C type `CType`, which `check`
// inspects, and must write exactly the same bytes again.
template<typename CType, typename MessageT, typename CheckT>
void expect_cyclone_agrees(const MessageT & message, const dds_topic_descriptor_t & descriptor, CheckT check)
{
  const auto sample = rclcpp::dds::encode(codec_samples::members<MessageT>(), &message);
  std::vector<unsigned char> bytes(sample.begin() + 4, sample.end());
  std::vector<unsigned char> scratch = bytes;
  uint32_t offset = 0;
  ASSERT_NE(dds_stream_normalize_data(reinterpret_cast<char *>(scratch.data()), &offset,
    static_cast<uint32_t>(scratch.size()), false, 1, descriptor.m_ops), nullptr) << "malformed for Cyclone";
  void * data = std::calloc(1, descriptor.m_size);
  dds_istream_t in;
  dds_istream_init(&in, static_cast<uint32_t>(bytes.size()), bytes.data(), 1);
  dds_stream_read(&in, static_cast<char *>(data), descriptor.m_ops);
  check(*static_cast<const CType *>(data));
  dds_ostreamLE_t out;
  dds_ostreamLE_init(&out, 0, 1);
  dds_stream_writeLE(&out, static_cast<const char *>(data), descriptor.m_ops);
  EXPECT_EQ(std::vector<unsigned char>(out.x.m_buffer, out.x.m_buffer + out.x.m_index), bytes);
  dds_ostreamLE_fini(&out);
  dds_stream_free_sample(data, descriptor.m_ops);
  std::free(data);
}

// One field of each type's deepest or most unusual nesting is compared; the rewritten bytes cover
// the rest.
TEST(CycloneReference, EverySampleTypeMatchesCyclone)
{
  expect_cyclone_agrees<sensor_msgs_msg_PointCloud2>(codec_samples::point_cloud(5),
    sensor_msgs_msg_PointCloud2_desc, [](const auto & cloud) {
      EXPECT_STREQ(cloud.header.frame_id, "camera_depth_optical_frame");
      ASSERT_EQ(cloud.data._length, 80u);
      EXPECT_EQ(cloud.data._buffer[79], static_cast<uint8_t>(79 * 7));
    });
  expect_cyclone_agrees<sensor_msgs_msg_JointState>(codec_samples::joint_state(),
    sensor_msgs_msg_JointState_desc, [](const auto & state) {
      EXPECT_EQ(state.header.stamp.sec, -1);
      ASSERT_EQ(state.name._length, 3u);
      EXPECT_STREQ(state.name._buffer[1], "");
    });
  expect_cyclone_agrees<visualization_msgs_msg_Marker>(codec_samples::marker(),
    visualization_msgs_msg_Marker_desc,
    [](const auto & marker) {EXPECT_EQ(marker.uv_coordinates._buffer[2].u, 1.0f);});
  expect_cyclone_agrees<control_msgs_action_FollowJointTrajectory_Goal>(codec_samples::trajectory_goal(),
    control_msgs_action_FollowJointTrajectory_Goal_desc, [](const auto & goal) {
      EXPECT_EQ(goal.trajectory.points._buffer[1].positions._buffer[1], -M_PI / 2);
      EXPECT_EQ(goal.multi_dof_trajectory.points._buffer[0].transforms._buffer[0].rotation.w, 1.0);
    });
  using Result = control_msgs::action::FollowJointTrajectory::Result;
  expect_cyclone_agrees<control_msgs_action_FollowJointTrajectory_Result>(
    Result().set__error_code(Result::PATH_TOLERANCE_VIOLATED).set__error_string("path tolerance violated"),
    control_msgs_action_FollowJointTrajectory_Result_desc, [](const auto & result) {
      EXPECT_EQ(result.error_code, -4);
      EXPECT_STREQ(result.error_string, "path tolerance violated");
    });
  expect_cyclone_agrees<vantrel_interfaces_srv_ArmGrab_Request>(codec_samples::arm_grab_request(),
    vantrel_interfaces_srv_ArmGrab_Request_desc,
    [](const auto & request) {EXPECT_EQ(request.target_pose[6], std::sqrt(0.5));});
}

}  // namespace
