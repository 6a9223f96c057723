#pragma once
// The scale mode of the demo builder: a synthetic data set of N drug packages
// for benchmarks.  It starts from the demo set read from demo/ (text tables,
// code tables, small documents) and replaces the large tables with
// synthetic ones of proportional size: N packages under about N / 4 product
// names, N / 3 substances, N / 6 goods and N / 6 devices, with their EAN
// codes, compositions, price records and outages, and about 5 KB of decoded
// document text per package (500 MB at 100,000).  Everything follows from
// N and the seed: the same arguments give byte-identical files.

#include <cstdint>

#include "writers/demo_build.h"

bool MakeScaleDataSet(DemoDataSet& set, int packages, uint64_t seed, DemoLog& log);
