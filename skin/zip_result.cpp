#include "skin/zip_result.h"

namespace kestrel {

const char* ZipResultName(ZipResult result) {
  switch (result) {
    case ResultOk: return "ResultOk";
    case ResultNotFound: return "ResultNotFound";
    case ResultMore: return "ResultMore";
    case ResultCorrupt: return "ResultCorrupt";
    case ResultRead: return "ResultRead";
    case ResultArgs: return "ResultArgs";
    case ResultWrongMode: return "ResultWrongMode";
    case ResultInflate: return "ResultInflate";
    default: return "unknown result";
  }
}

}  // namespace kestrel
