// The graph dump's view of a GStreamer graph: each filter is a bin in the
// pipeline and its pins are the bin's pads (ghost pads), named as in the graph.
#pragma once

#include "strova/dump/GraphDump.h"

#include <memory>

typedef struct _GstElement GstElement;

namespace strova::dump {

class GstDumpFilter : public DumpFilter {
 public:
  explicit GstDumpFilter(GstElement* element);  // takes a reference
  ~GstDumpFilter() override;
  GstDumpFilter(const GstDumpFilter&) = delete;
  GstDumpFilter& operator=(const GstDumpFilter&) = delete;

  std::string Name() const override;
  std::vector<DumpPin> Pins() const override;

 private:
  GstElement* element_;
  mutable std::vector<std::unique_ptr<GstDumpFilter>> peers_;  // kept alive for the walk
};

// Names of the pipeline's filters in its own enumeration order.
std::vector<std::string> GraphFilterNames(GstElement* pipeline);

// Dump text of a card's graph (pipeline may be null; capture null = heading).
std::string DumpGstGraph(int card, GstElement* pipeline, GstElement* capture);

// Where the fixed diagnostic files live: <name> in the user's state folder
// (platform StateDir, created when missing).
std::string DiagnosticPath(const std::string& name);

}  // namespace strova::dump
