// The generated types used the way node code uses them.
#include <gtest/gtest.h>

#include <geometry_msgs/msg/quaternion.hpp>
#include <geometry_msgs/msg/transform_stamped.hpp>
#include <rosidl_typesupport_introspection_cpp/message_introspection.hpp>
#include <rosidl_typesupport_introspection_cpp/message_type_support_decl.hpp>

TEST(RosTypes, QuaternionDefaultsToIdentity)
{
  geometry_msgs::msg::Quaternion q;
  EXPECT_EQ(q.x, 0.0);
  EXPECT_EQ(q.y, 0.0);
  EXPECT_EQ(q.z, 0.0);
  EXPECT_EQ(q.w, 1.0);
  auto shared = std::make_shared<geometry_msgs::msg::TransformStamped>();
  geometry_msgs::msg::TransformStamped::SharedPtr alias = shared;
  EXPECT_EQ(alias->transform.rotation.w, 1.0);
}

TEST(RosTypes, IntrospectionListsFieldsInOrder)
{
  const auto * handle = rosidl_typesupport_introspection_cpp::get_message_type_support_handle<
    geometry_msgs::msg::TransformStamped>();
  const auto * members =
    static_cast<const rosidl_typesupport_introspection_cpp::MessageMembers *>(handle->data);
  ASSERT_EQ(members->member_count_, 3u);
  EXPECT_STREQ(members->message_namespace_, "geometry_msgs::msg");
  EXPECT_STREQ(members->members_[0].name_, "header");
  EXPECT_STREQ(members->members_[1].name_, "child_frame_id");
  EXPECT_STREQ(members->members_[2].name_, "transform");
}
