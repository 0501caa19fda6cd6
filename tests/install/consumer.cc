// A program outside the project: it knows the package only through the
// installed headers and library. It needs no server: an open against a
// closed port must reach its error box, and a failed transaction start must
// be catchable as the package's exception.
#include <cstdio>
#include <string>

#include <orvclient/orvclient.h>

int main() {
  std::string shown;
  orv::SetMessageBoxHandler([&](const std::string& text, const std::string&, unsigned) {
    shown = text;
    return orv::IDOK;
  });
  orv::TComponent form(nullptr);
  auto* rdb = new orv::TOrvRDB(&form);
  rdb->SetAddress("127.0.0.1");
  rdb->SetPort(1);
  auto* query = new orv::TOrvQuery(&form);
  query->SetDatabase(rdb);
  query->SQL()->SetText("select 1");
  query->Open();
  if (query->Active() || shown.empty()) return 1;
  try {
    rdb->StartTransaction();
    return 1;
  } catch (const orv::Exception&) {
  }
  std::printf("consumer ok: %s\n", shown.c_str());
  return 0;
}
