#include "data/base_view.h"

#include <filesystem>

#include "data/ado_catalog.h"
#include "dataset/errors.h"

namespace vantor::data {

bool tbaseview::openbase(const std::string& filename) {
  const bool result = base_.openbase(filename);
  if (result) {
    filename_ = filename;
    tablelist_ = *base_.tablenames();
  }
  return result;
}

void tbaseview::newbase(const std::string& filename) {
  const int32_t kind = getbasetype(filename);
  TAdoCatalog catalog;
  if (kind == btAccess) {
    catalog.Create("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + filename + "\"");
  } else if (kind == btExcel) {
    catalog.SetActiveConnection("Provider=Microsoft.Jet.OLEDB.4.0;Extended Properties=Excel 8.0;Data Source=" +
                                filename);
    try {
      catalog.ActiveConnection().Execute("create table tempsheet(ID int,Code varchar(50))");
    } catch (const std::exception&) {
      if (catalog.CreatedFile()) {
        catalog.ActiveConnection().Close();
        std::error_code ec;
        std::filesystem::remove(filename, ec);
      }
      throw Exception(msg::kCreateExcelError);
    }
  }
}

}  // namespace vantor::data
