// The sensor road's per-frame cloud work: the cleaning filter at the node's settings and the depth conversion.
#include <cstdint>
#include <random>

#include <benchmark/benchmark.h>

#include "node/point_cloud_depth_image.h"
#include "node/point_cloud_filter.h"

namespace
{
using Cloud = pcl::PointCloud<pcl::PointXYZ>;

// Points drawn uniformly from the 2 m cube about the base origin.
Cloud::Ptr randomCube(std::size_t count)
{
  std::mt19937 generator(42);
  std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
  Cloud::Ptr cloud(new Cloud);
  for (std::size_t i = 0; i < count; ++i)
  {
    cloud->push_back({coordinate(generator), coordinate(generator), coordinate(generator)});
  }
  return cloud;
}

// The node's filter: the default box and leaf size, 25 neighbours, one deviation.
PointCloudFilter nodeFilter()
{
  PointCloudFilter filter;
  filter.mean_k_ = 25;
  filter.std_dev_mul_ = 1.0;
  return filter;
}

void BM_FilterPointCloud(benchmark::State& state)
{
  const Cloud::Ptr input = randomCube(static_cast<std::size_t>(state.range(0)));
  const PointCloudFilter filter = nodeFilter();
  const Cloud::Ptr output(new Cloud);
  for (auto _ : state)
  {
    filter.filterPointCloud(input, output);
    benchmark::DoNotOptimize(output->size());
  }
  state.counters["kept"] = static_cast<double>(output->size());
}
BENCHMARK(BM_FilterPointCloud)->Arg(100000)->Arg(300000)->Unit(benchmark::kMillisecond);

// A camera frame of depths between 0.3 m and 3 m, one pixel in ten without a reading.
sensor_msgs::msg::Image::ConstSharedPtr depthFrame(std::uint32_t width, std::uint32_t height)
{
  auto image = std::make_shared<sensor_msgs::msg::Image>();
  image->encoding = "16UC1";
  image->width = width;
  image->height = height;
  image->step = width * 2;
  image->data.resize(static_cast<std::size_t>(image->step) * height);
  std::mt19937 generator(42);
  std::uniform_int_distribution<std::uint16_t> depth(300, 3000);
  std::uniform_int_distribution<int> tenth(0, 9);
  for (std::size_t i = 0; i < image->data.size(); i += 2)
  {
    const std::uint16_t d = tenth(generator) == 0 ? 0 : depth(generator);
    image->data[i] = static_cast<std::uint8_t>(d & 0xff);
    image->data[i + 1] = static_cast<std::uint8_t>(d >> 8);
  }
  return image;
}

void BM_DepthImageToPointCloud(benchmark::State& state)
{
  const auto image = depthFrame(static_cast<std::uint32_t>(state.range(0)), static_cast<std::uint32_t>(state.range(1)));
  const Cloud::Ptr output(new Cloud);
  for (auto _ : state)
  {
    depthImageToPointCloud(output, image, 615.0f, 320.0f, 615.0f, 240.0f);
    benchmark::DoNotOptimize(output->size());
  }
}
BENCHMARK(BM_DepthImageToPointCloud)->Args({640, 480})->Args({1280, 720})->Unit(benchmark::kMillisecond);
}  // namespace
