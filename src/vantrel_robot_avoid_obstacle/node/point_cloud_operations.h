#pragma once

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

// Cloud steps of the sensor road. Each empties its output first (width and height 0); each appended point
// makes the output one row of that many points. Header and dense flag of the output are left alone.

// Keeps, in input order, the points with 0.15 < z < max_z (both strict).
void filterPointCloudByZ(const pcl::PointCloud<pcl::PointXYZ>::ConstPtr& input,
                         const pcl::PointCloud<pcl::PointXYZ>::Ptr& output, double max_z);

// The points of `a`, then those of `b`.
void concatenatePointClouds(const pcl::PointCloud<pcl::PointXYZ>::ConstPtr& a,
                            const pcl::PointCloud<pcl::PointXYZ>::ConstPtr& b,
                            const pcl::PointCloud<pcl::PointXYZ>::Ptr& output);

// The points with three finite coordinates, in input order. Prints how many were dropped, if any.
void keepFinitePoints(const pcl::PointCloud<pcl::PointXYZ>& input, pcl::PointCloud<pcl::PointXYZ>& output);
