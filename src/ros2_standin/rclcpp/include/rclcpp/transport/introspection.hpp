// The introspection of a generated message or service type, for the transport seam.
#ifndef RCLCPP__TRANSPORT__INTROSPECTION_HPP_
#define RCLCPP__TRANSPORT__INTROSPECTION_HPP_

#include <type_traits>

#include "rclcpp/transport/transport.hpp"
#include "rosidl_runtime_cpp/traits.hpp"
#include "rosidl_typesupport_introspection_cpp/message_type_support_decl.hpp"
#include "rosidl_typesupport_introspection_cpp/service_introspection.hpp"
#include "rosidl_typesupport_introspection_cpp/service_type_support_decl.hpp"

namespace rclcpp
{
namespace transport
{

template<typename QualifiedT>
TypeIntrospection introspection_of()
{
  using InterfaceT = std::remove_cv_t<QualifiedT>;
  using rosidl_typesupport_introspection_cpp::MessageMembers;
  if constexpr (rosidl_generator_traits::is_service<InterfaceT>::value) {
    using rosidl_typesupport_introspection_cpp::ServiceMembers;
    const auto * service = static_cast<const ServiceMembers *>(
      rosidl_typesupport_introspection_cpp::get_service_type_support_handle<InterfaceT>()->data);
    return TypeIntrospection{service->request_members_, service->response_members_};
  } else {
    return TypeIntrospection{static_cast<const MessageMembers *>(
        rosidl_typesupport_introspection_cpp::get_message_type_support_handle<InterfaceT>()->data),
      nullptr};
  }
}

}  // namespace transport
}  // namespace rclcpp

#endif  // RCLCPP__TRANSPORT__INTROSPECTION_HPP_
