#pragma once

#include <memory>

#include <tinyxml.h>

#include "robot_model/urdf_parser/joint.h"
#include "robot_model/urdf_parser/link.h"
#include "robot_model/urdf_parser/material.h"
#include "robot_model/urdf_parser/pose.h"

// Parsers of the elements inside "robot". Each logs what it finds wrong and returns false or null;
// the record keeps what was stored before the problem.
namespace urdf
{
bool parseMaterial(Material& material, const TiXmlElement* config, bool only_name_is_ok);
// False when the link has no name or one of its collision elements cannot be read.
bool parseLink(Link& link, const TiXmlElement* config);
bool parseVisual(Visual& visual, const TiXmlElement* config);
bool parseCollision(Collision& collision, const TiXmlElement* config);
std::shared_ptr<Geometry> parseGeometry(const TiXmlElement* geometry);
bool parseCylinder(Cylinder& cylinder, const TiXmlElement* config);
bool parseInertial(Inertial& inertial, const TiXmlElement* config);
bool parseJoint(Joint& joint, const TiXmlElement* config);
bool parsePose(Pose& pose, const TiXmlElement* xml);
}  // namespace urdf
