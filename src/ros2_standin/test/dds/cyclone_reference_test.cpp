// The codec's samples checked against Cyclone's own serializer, driven by hand-written IDL of the
// same types: Cyclone must read each sample back to the field values that went in, and write
// exactly the same bytes again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec_samples.hpp"
#include "dds/ddsi/ddsi_cdrstream.h"
#include "dds_transport/cdr_codec.hpp"
#include "reference_types.h"

namespace
{

// Cyclone's decoding of a sample into its C type; null when Cyclone finds it malformed.
class CycloneSample
{
public:
  CycloneSample(const dds_topic_descriptor_t & descriptor, std::vector<unsigned char> sample)
  : ops_(descriptor.m_ops), bytes_(sample.begin() + 4, sample.end()),
    data_(std::calloc(1, descriptor.m_size))
  {
    std::vector<unsigned char> scratch = bytes_;
    uint32_t offset = 0;
    valid_ = dds_stream_normalize_data(reinterpret_cast<char *>(scratch.data()), &offset,
        static_cast<uint32_t>(scratch.size()), false, 1, ops_) != nullptr;
    if (valid_) {
      dds_istream_t in;
      dds_istream_init(&in, static_cast<uint32_t>(bytes_.size()), bytes_.data(), 1);
      dds_stream_read(&in, static_cast<char *>(data_), ops_);
    }
  }
  ~CycloneSample()
  {
    if (valid_) {
      dds_stream_free_sample(data_, ops_);
    }
    std::free(data_);
  }

  bool valid() const {return valid_;}
  template<typename T>
  const T & as() const {return *static_cast<const T *>(data_);}

  // Cyclone's own encoding of what it read.
  std::vector<unsigned char> rewritten() const
  {
    dds_ostreamLE_t out;
    dds_ostreamLE_init(&out, 0, 1);
    dds_stream_writeLE(&out, static_cast<const char *>(data_), ops_);
    std::vector<unsigned char> bytes(out.x.m_buffer, out.x.m_buffer + out.x.m_index);
    dds_ostreamLE_fini(&out);
    return bytes;
  }

  const std::vector<unsigned char> & original() const {return bytes_;}

private:
  const uint32_t * ops_;
  std::vector<unsigned char> bytes_;
  void * data_;
  bool valid_ = false;
};

template<typename MessageT>
std::unique_ptr<CycloneSample> through_cyclone(
  const MessageT & message, const dds_topic_descriptor_t & descriptor)
{
  auto sample = std::make_unique<CycloneSample>(descriptor,
      rclcpp::dds::encode(codec_samples::members<MessageT>(), &message));
  EXPECT_TRUE(sample->valid());
  if (sample->valid()) {
    EXPECT_EQ(sample->rewritten(), sample->original());
  }
  return sample;
}

// Cyclone reads each sample back to the values that went in; one field of each type's deepest
// or most unusual nesting is compared, and the rewritten bytes cover the rest.
TEST(CycloneReference, EverySampleTypeMatchesCyclone)
{
  const auto cloud = through_cyclone(codec_samples::point_cloud(5), sensor_msgs_msg_PointCloud2_desc);
  ASSERT_TRUE(cloud->valid());
  const auto & c = cloud->as<sensor_msgs_msg_PointCloud2>();
  EXPECT_STREQ(c.header.frame_id, "camera_depth_optical_frame");
  ASSERT_EQ(c.data._length, 80u);
  EXPECT_EQ(c.data._buffer[79], static_cast<uint8_t>(79 * 7));

  const auto state = through_cyclone(codec_samples::joint_state(), sensor_msgs_msg_JointState_desc);
  ASSERT_TRUE(state->valid());
  const auto & s = state->as<sensor_msgs_msg_JointState>();
  EXPECT_EQ(s.header.stamp.sec, -1);
  ASSERT_EQ(s.name._length, 3u);
  EXPECT_STREQ(s.name._buffer[1], "");

  const auto marker = through_cyclone(codec_samples::marker(), visualization_msgs_msg_Marker_desc);
  ASSERT_TRUE(marker->valid());
  EXPECT_EQ(marker->as<visualization_msgs_msg_Marker>().uv_coordinates._buffer[2].u, 1.0f);

  const auto goal = through_cyclone(codec_samples::trajectory_goal(),
      control_msgs_action_FollowJointTrajectory_Goal_desc);
  ASSERT_TRUE(goal->valid());
  const auto & g = goal->as<control_msgs_action_FollowJointTrajectory_Goal>();
  EXPECT_EQ(g.trajectory.points._buffer[1].positions._buffer[1], -M_PI / 2);
  EXPECT_EQ(g.multi_dof_trajectory.points._buffer[0].transforms._buffer[0].rotation.w, 1.0);

  const auto result = through_cyclone(codec_samples::trajectory_result(),
      control_msgs_action_FollowJointTrajectory_Result_desc);
  ASSERT_TRUE(result->valid());
  EXPECT_EQ(result->as<control_msgs_action_FollowJointTrajectory_Result>().error_code, -4);

  const auto request = through_cyclone(codec_samples::arm_grab_request(),
      vantrel_interfaces_srv_ArmGrab_Request_desc);
  ASSERT_TRUE(request->valid());
  EXPECT_EQ(request->as<vantrel_interfaces_srv_ArmGrab_Request>().target_pose[6], std::sqrt(0.5));
}

}  // namespace
