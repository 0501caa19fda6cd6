#include "host/component.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orv {
namespace {

using Log = std::vector<std::string>;

// Records its notifications and its death; forgets `watched` when told it
// is leaving, as a dataset forgets its connection.
class Probe : public TComponent {
 public:
  Probe(TComponent* owner, const std::string& name, Log* log)
      : TComponent(owner), log_(log) {
    SetName(name);
  }
  ~Probe() override { log_->push_back("~" + Name()); }

  TComponent* watched = nullptr;

 protected:
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove) {
      log_->push_back(Name() + " -" + c->Name());
      if (c == watched) watched = nullptr;
    }
  }

 private:
  Log* log_;
};

TEST(ComponentTest, OwnerDeletesOwnedLastFirstAndDirectDeleteLeavesList) {
  Log log;
  auto owner = std::make_unique<Probe>(nullptr, "Form", &log);
  new Probe(owner.get(), "A", &log);
  auto* b = new Probe(owner.get(), "B", &log);
  new Probe(owner.get(), "C", &log);
  ASSERT_EQ(owner->ComponentCount(), 3);
  EXPECT_EQ(owner->FindComponent("b"), b);
  EXPECT_EQ(owner->FindComponent("Z"), nullptr);
  EXPECT_EQ(b->Owner(), owner.get());
  EXPECT_THROW(owner->Components(3), EComponentError);

  delete b;
  ASSERT_EQ(owner->ComponentCount(), 2);
  EXPECT_EQ(owner->Components(0)->Name(), "A");
  EXPECT_EQ(owner->Components(1)->Name(), "C");

  log.clear();
  owner.reset();
  // Each owned component dies last-first; its surviving sibling hears of it.
  EXPECT_EQ(log, (Log{"~Form", "~C", "A -C", "~A"}));
}

TEST(ComponentTest, NamesAreUniqueWithinOwnerAndMovesKeepListsRight) {
  TComponent owner(nullptr), other(nullptr);
  (new TComponent(&owner))->SetName("Table1");
  auto* b = new TComponent(&owner);
  EXPECT_THROW(b->SetName("TABLE1"), EComponentError);
  EXPECT_THROW(b->SetName("1x"), EComponentError);
  auto* clash = new TComponent(&other);
  clash->SetName("Table1");
  // A name clash refuses the move and leaves everything where it was.
  EXPECT_THROW(owner.InsertComponent(clash), EComponentError);
  EXPECT_EQ(clash->Owner(), &other);
  other.InsertComponent(b);
  EXPECT_EQ(b->Owner(), &other);
  EXPECT_EQ(owner.ComponentCount(), 1);
  EXPECT_EQ(other.ComponentCount(), 2);
  other.RemoveComponent(b);
  EXPECT_EQ(b->Owner(), nullptr);
  delete b;  // now the caller's
}

TEST(ComponentTest, FreeNotificationWorksBothWaysWithoutDangling) {
  Log log;
  auto subscriber = std::make_unique<Probe>(nullptr, "DataSet", &log);
  auto subject = std::make_unique<Probe>(nullptr, "Database", &log);
  subject->FreeNotification(subscriber.get());
  subscriber->watched = subject.get();
  subject->watched = subscriber.get();

  subject.reset();
  EXPECT_EQ(subscriber->watched, nullptr);
  EXPECT_EQ(log, (Log{"~Database", "DataSet -Database"}));

  // The other way round: the subscriber dies first and the subject, dying
  // later, must not reach it (ASan catches a dangling call).
  log.clear();
  auto subject2 = std::make_unique<Probe>(nullptr, "Db2", &log);
  subject2->FreeNotification(subscriber.get());
  subject2->watched = subscriber.get();
  subscriber.reset();
  EXPECT_EQ(subject2->watched, nullptr);
  subject2.reset();
  EXPECT_EQ(log, (Log{"~DataSet", "Db2 -DataSet", "~Db2"}));

}

TEST(ComponentTest, OwnerForwardsNotificationsToOwnedComponents) {
  Log log;
  Probe form(nullptr, "Form", &log);
  auto* db = new Probe(&form, "Db", &log);
  auto* ds = new Probe(&form, "Ds", &log);
  ds->watched = db;
  // A component of another owner linked by free notification hears once.
  Probe outsider(nullptr, "Out", &log);
  db->FreeNotification(&outsider);
  outsider.watched = db;

  log.clear();
  delete db;
  EXPECT_EQ(ds->watched, nullptr);
  EXPECT_EQ(outsider.watched, nullptr);
  EXPECT_EQ(log, (Log{"~Db", "Out -Db", "Ds -Db", "Form -Db"}));
}

class StateProbe : public TComponent {
 public:
  using TComponent::TComponent;
  ~StateProbe() override {
    *owner_destroying = Owner()->ComponentState() & csDestroying;
  }
  void Loaded() override {
    loaded_while_loading = ComponentState() & csLoading;
    TComponent::Loaded();
  }
  bool loaded_while_loading = false;
  bool* owner_destroying = nullptr;
};

TEST(ComponentTest, DesigningLoadingAndDestroyingStates) {
  bool owner_destroying = false;
  {
    TComponent owner(nullptr);
    auto* a = new StateProbe(&owner);
    a->owner_destroying = &owner_destroying;
    owner.SetDesigning(true);
    EXPECT_TRUE(a->ComponentState() & csDesigning);
    EXPECT_TRUE(TComponent(&owner).ComponentState().Contains(csDesigning));
    owner.BeginLoading();
    EXPECT_TRUE(a->ComponentState() & csReading);
    owner.EndLoading();
    EXPECT_TRUE(a->loaded_while_loading);
    EXPECT_FALSE(a->ComponentState() & csLoading);
    EXPECT_FALSE(a->ComponentState() & csReading);
  }
  EXPECT_TRUE(owner_destroying);
}

}  // namespace
}  // namespace orv
