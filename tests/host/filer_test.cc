// TReader and TWriter over a registry of test components: every value kind
// written and read back, defaults left out, references and nested owners,
// events by handler name, the loading state, and each kind of bad input.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/data_module.h"
#include "host/filer.h"
#include "host/params.h"
#include "host/published_host.h"
#include "host/published_props.h"

namespace orv {
namespace {

enum TMode { mdA, mdB, mdC };
using TPing = std::function<void(int)>;

// A component with a property of every kind, a self-stored collection
// ("Items") and a record of what loading did to it.
class TProbe : public TComponent {
 public:
  explicit TProbe(TComponent* owner) : TComponent(owner), items_(this) { ++alive; }
  ~TProbe() override { --alive; }
  std::string ClassName() const override { return "TProbe"; }

  int count = 0, always = 0;
  std::string label;
  bool enabled = true;
  TMode mode = mdA;
  uint32_t options = 0;
  TStringList lines;
  TProbe* peer = nullptr;
  TPing on_ping;
  TParams items_;
  bool loading_seen = false;        // a setter ran while csLoading
  bool peer_set_when_loaded = false;
  static inline int alive = 0;

  void SetLabel(const std::string& value) {
    label = value;
    loading_seen = (ComponentState() & csLoading) != 0;
  }
  void Loaded() override {
    TComponent::Loaded();
    peer_set_when_loaded = peer != nullptr;
  }
  void DefineProperties(TFiler* filer) override {
    filer->DefineProperty(
        "Items",
        [this](TReader& r) {
          items_.Clear();
          r.ReadCollection([this] { return new TParam(&items_); });
        },
        [this](TWriter& w) {
          std::vector<TPersistent*> all;
          for (int i = 0; i < items_.Count(); ++i) all.push_back(items_[i]);
          w.WriteCollection(all);
        },
        items_.Count() > 0);
  }
};

const TClassRegistry& Classes() {
  static const TClassRegistry classes = [] {
    TClassRegistry c;
    PublishHostClasses(c);
    using P = TProbe;
    c.RegisterComponent<TProbe>("TProbe", "TComponent")
        .Add(IntegerProperty<P>("Count", &P::count, [](P& p, int v) { p.count = v; }, 0))
        .Add(IntegerProperty<P>("Always", &P::always, [](P& p, int v) { p.always = v; },
                                kAlwaysStored))
        .Add(StringProperty<P>("Label", &P::label, &P::SetLabel))
        .Add(BooleanProperty<P>("Enabled", &P::enabled, [](P& p, bool v) { p.enabled = v; }, true))
        .Add(EnumProperty<P>("Mode", {"mdA", "mdB", "mdC"}, &P::mode,
                             [](P& p, TMode v) { p.mode = v; }, mdA))
        .Add(SetProperty<P>("Options", {"opX", "opY", "opZ"}, &P::options,
                            [](P& p, uint32_t v) { p.options = v; }, 0u))
        .Add(StringsProperty<P>("Lines", [](const P& p) { return &p.lines; },
                                [](P& p, const TStrings* v) { p.lines.Assign(v); }))
        .Add(ComponentProperty<P, TProbe>("Peer", &P::peer, [](P& p, TProbe* v) { p.peer = v; }))
        .Add(EventProperty<P, TPing>("OnPing", &P::on_ping, [](P& p, TPing v) { p.on_ping = v; }));
    c.Register("TAbstract", "TComponent");
    return c;
  }();
  return classes;
}

class FilerTest : public ::testing::Test {
 protected:
  FilerTest() { handlers_.Add("Ping", TPing([this](int n) { pinged_ += n; })); }

  TComponent* Read(const std::string& text) { return ReadForm(text, &owner_, Classes(), handlers_); }
  TProbe* Probe(TComponent* root, const std::string& path) {
    return static_cast<TProbe*>(FindComponentPath(*root->Components(0), path));
  }

  TFormHandlers handlers_;
  int pinged_ = 0;
  TComponent owner_{nullptr};
};

TEST_F(FilerTest, WritesWhatDiffersFromTheDefaultsAndReadsItBack) {
  TDataModule data(nullptr);
  data.SetName("Data");
  auto* first = new TProbe(&data);
  first->SetName("First");
  first->always = 5;
  first->count = -7;
  first->label = "it's";
  first->enabled = false;
  first->mode = mdC;
  first->options = 5;
  first->lines.SetText("one\ntwo");
  first->on_ping = *handlers_.Find<TPing>("Ping");
  first->items_.CreateParam(ftInteger, "N", ptInput)->SetAsInteger(3);
  auto* inner = new TDataModule(&data);
  inner->SetName("Inner");
  auto* deep = new TProbe(inner);
  deep->SetName("Deep");
  first->peer = deep;       // in a nested owner, defined further down
  deep->peer = first;       // from inside the nested owner, outwards
  auto* plain = new TProbe(&data);
  plain->SetName("Plain");

  const std::string text = WriteForm(data, Classes());
  EXPECT_EQ(text,
            "object Data: TDataModule\n"
            "  object First: TProbe\n"
            "    Count = -7\n"
            "    Always = 5\n"
            "    Label = 'it''s'\n"
            "    Enabled = False\n"
            "    Mode = mdC\n"
            "    Options = [opX, opZ]\n"
            "    Lines.Strings = (\n"
            "      'one'\n"
            "      'two')\n"
            "    Peer = Inner.Deep\n"
            "    OnPing = Ping\n"
            "    Items = <\n"
            "      item\n"
            "        DataType = ftInteger\n"
            "        Name = 'N'\n"
            "        ParamType = ptInput\n"
            "        Value = 3\n"
            "      end>\n"
            "  end\n"
            "  object Inner: TDataModule\n"
            "    object Deep: TProbe\n"
            "      Always = 0\n"
            "      Peer = First\n"
            "    end\n"
            "  end\n"
            "  object Plain: TProbe\n"
            "    Always = 0\n"
            "  end\n"
            "end\n");

  TComponent* root = Read(text);
  EXPECT_EQ(WriteForm(*root, Classes()), text);
  TProbe* read = Probe(root, "First");
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Owner(), root);
  EXPECT_EQ(read->peer, Probe(root, "Inner.Deep"));
  EXPECT_EQ(read->peer->peer, read);
  EXPECT_TRUE(read->loading_seen);
  EXPECT_TRUE(read->peer_set_when_loaded);
  EXPECT_TRUE(read->ComponentState().Empty());
  read->on_ping(2);
  EXPECT_EQ(pinged_, 2);
  EXPECT_EQ(read->items_.ParamByName("N")->AsInteger(), 3);
}

TEST_F(FilerTest, BadInputFailsAtItsPlaceAndLeavesNothingBehind) {
  struct Case {
    std::string body;  // inside "object Data: TDataModule" on line 1
    int line, column;
    std::string message;
  };
  const Case cases[] = {
      {"  object P: TNothing\n  end", 2, 3, "Unknown class TNothing"},
      {"  object P: TAbstract\n  end", 2, 3, "Class TAbstract cannot be created"},
      {"  object P: TProbe\n  end\n  object p: TProbe\n  end", 4, 3, "A component named p already exists"},
      {"  object P: TProbe\n    Colour = 1\n  end", 3, 5, "Unknown property Colour of TProbe"},
      {"  object P: TProbe\n    Count = 'x'\n  end", 3, 13, "Wrong value for Count: an integer expected"},
      {"  object P: TProbe\n    Count = 4294967296\n  end", 3, 13, "a 32-bit integer expected"},
      {"  object P: TProbe\n    Enabled = Yes\n  end", 3, 15, "True or False expected"},
      {"  object P: TProbe\n    Label = 3\n  end", 3, 13, "a string expected"},
      {"  object P: TProbe\n    Mode = mdQ\n  end", 3, 12, "one of mdA, mdB, mdC expected"},
      {"  object P: TProbe\n    Options = [opX, opQ]\n  end", 3, 15, "one of opX, opY, opZ"},
      {"  object P: TProbe\n    Lines.Strings = ('a' 1)\n  end", 3, 26, "a string expected"},
      {"  object P: TProbe\n    Peer = 'P'\n  end", 3, 12, "a component name expected"},
      {"  object P: TProbe\n    Peer = Nobody\n  end", 3, 12, "Component Nobody not found"},
      {"  object P: TProbe\n    Peer = Inner\n  end\n  object Inner: TDataModule\n  end", 3, 12,
       "Inner is a TDataModule"},
      {"  object P: TProbe\n    OnPing = Pong\n  end", 3, 14, "Unknown handler Pong"},
      {"  object P: TProbe\n    OnPing = Other\n  end", 3, 14, "Handler Other does not fit OnPing"},
      {"  object P: TProbe\n    Items = 1\n  end", 3, 13, "Items: a collection expected"},
      {"  object P: TProbe\n    Items = <item\n      Size = 1\n    end>\n  end", 4, 7,
       "Unknown property Size of TParam"},
  };
  handlers_.Add("Other", std::function<void()>([] {}));
  for (const Case& c : cases) {
    const std::string text = "object Data: TDataModule\n" + c.body + "\nend\n";
    try {
      Read(text);
      ADD_FAILURE() << text << ": no error";
    } catch (const EFilerError& e) {
      EXPECT_EQ(e.Pos().line, c.line) << text << e.what();
      EXPECT_EQ(e.Pos().column, c.column) << text << e.what();
      EXPECT_NE(e.Text().find(c.message), std::string::npos) << text << e.what();
    }
    EXPECT_EQ(owner_.ComponentCount(), 0);
    EXPECT_EQ(TProbe::alive, 0);
  }
}

TEST_F(FilerTest, RefusesToWriteWhatCannotBeReadBack) {
  TDataModule data(nullptr);
  auto* probe = new TProbe(&data);
  probe->SetName("P");
  probe->on_ping = [](int) {};
  try {
    WriteForm(data, Classes());
    ADD_FAILURE() << "an unnamed handler was written";
  } catch (const EFilerError& e) {
    EXPECT_STREQ(e.what(), "P.OnPing: the handler was assigned without a name (see TFormHandlers)");
  }
  probe->on_ping = nullptr;
  TProbe stranger(nullptr);
  stranger.SetName("Stranger");
  probe->peer = &stranger;
  EXPECT_THROW(WriteForm(data, Classes()), EFilerError);
}

}  // namespace
}  // namespace orv
