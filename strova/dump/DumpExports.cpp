// The graph dump export.
#include "strova/core/Context.h"
#include "strova/dump/GstGraphView.h"

extern "C" STROVA_API int Strova_ListAllFilter(int card, const char* path) {
  auto* c = strova::core::CardAt(card);
  if (!c || !path || !*path) return 0;
  strova::dump::WriteDumpFile(path, strova::dump::DumpGstGraph(card, c->pipeline, c->captureFilter));
  return 0;
}
