#include "support/load_driver.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>

#include "dataset/orv_query.h"
#include "dataset/orv_table.h"
#include "host/exceptions.h"
#include "host/forms.h"
#include "rdb/orv_rdb.h"

namespace orv::test {

namespace {

using Clock = std::chrono::steady_clock;

enum Kind { kOpen, kPagedOpen, kInsert, kUpdate, kTransaction, kCachedCommit, kKinds };
constexpr const char* kKindNames[kKinds] = {"open", "paged open", "execute (insert)",
                                            "execute (update)", "transaction",
                                            "cached-update commit"};

// Message boxes of the client threads go to that thread's list; those of
// reader threads (a fetch that broke off) to a shared one.
thread_local std::vector<std::string>* t_messages = nullptr;
std::mutex g_stray_mu;
std::vector<std::string> g_stray;  // protected by g_stray_mu

bool IsConflict(const std::string& text) {
  return text.find("locked") != std::string::npos || text.find("busy") != std::string::npos;
}

LatencySummary Summarize(std::vector<double>& ms) {
  LatencySummary s;
  s.count = static_cast<std::int64_t>(ms.size());
  if (ms.empty()) return s;
  std::sort(ms.begin(), ms.end());
  auto at = [&](double q) { return ms[std::min(ms.size() - 1, static_cast<size_t>(q * ms.size()))]; };
  s.p50_ms = at(0.50);
  s.p90_ms = at(0.90);
  s.p99_ms = at(0.99);
  s.max_ms = ms.back();
  return s;
}

// One client: its own connection component and query, its own tally.
class Client {
 public:
  Client(const LoadOptions& o, int id, int run)
      : id_(id), tag_(run * 100000 + id), rng_(o.seed * 7919u + static_cast<unsigned>(tag_)) {
    rdb_.SetAddress("127.0.0.1");
    rdb_.SetPort(o.port);
    rdb_.SetTimeOut(o.timeout_ms);
    q_.SetDatabase(&rdb_);
  }

  void Run(int requests) {
    t_messages = &messages_;
    for (int i = 0; i < requests; ++i) {
      const Kind kind = Pick();
      const auto start = Clock::now();
      messages_.clear();
      bool ok = false;
      try {
        ok = Do(kind);
      } catch (const Exception& e) {
        messages_.push_back(e.Message());
      }
      const std::chrono::duration<double, std::milli> took = Clock::now() - start;
      latencies_[kind].push_back(took.count());
      for (const std::string& m : messages_) (IsConflict(m) ? conflicts_ : errors_).push_back(m);
      if (!ok && messages_.empty()) errors_.push_back(std::string(kKindNames[kind]) + ": wrong result");
    }
    t_messages = nullptr;
  }

  // Reads back what this client wrote; empty when it adds up.
  std::string Check() {
    const std::string where = " where client = " + std::to_string(tag_);
    long rows = -1, counter = -1;
    if (OpenOne("select count(*) from load_rows" + where)) rows = q_.Fields()->GetField(0)->AsInteger();
    q_.Close();
    if (OpenOne("select n from load_counter" + where)) counter = q_.Fields()->GetField(0)->AsInteger();
    q_.Close();
    if (rows == rows_ && counter == counter_) return {};
    return "client " + std::to_string(id_) + ": rows " + std::to_string(rows) + " (expected " +
           std::to_string(rows_) + "), counter " + std::to_string(counter) + " (expected " +
           std::to_string(counter_) + ")";
  }

  std::vector<double> latencies_[kKinds];
  std::vector<std::string> conflicts_, errors_;

 private:
  Kind Pick() {
    const int r = static_cast<int>(rng_() % 100);
    if (r < 25) return kOpen;
    if (r < 35) return kPagedOpen;
    if (r < 60) return kInsert;
    if (r < 75) return kUpdate;
    if (r < 90) return kTransaction;
    return kCachedCommit;
  }

  bool OpenOne(const std::string& sql) {
    q_.Close();
    q_.SQL()->SetText(sql);
    q_.Open();
    return q_.Active() && !q_.Eof();
  }
  bool Exec(const std::string& sql, int expected) {
    q_.Close();
    q_.SQL()->SetText(sql);
    q_.ExecSQL();
    return q_.RowsAffected() == expected;
  }
  std::string Insert() {
    ++seq_;
    return "insert into load_rows (client, seq, payload) values (" + std::to_string(tag_) + ", " +
           std::to_string(seq_) + ", 'payload " + std::to_string(seq_) + "')";
  }
  std::string Bump(int by) {
    return "update load_counter set n = n + " + std::to_string(by) +
           " where client = " + std::to_string(tag_);
  }

  bool Do(Kind kind) {
    switch (kind) {
      case kOpen: {
        // Its own rows, as this client counted them: a read that checks.
        if (!OpenOne("select count(*), coalesce(max(seq), 0) from load_rows where client = " +
                     std::to_string(tag_)))
          return false;
        const bool right = q_.Fields()->GetField(0)->AsInteger() == rows_;
        q_.Close();
        return right;
      }
      case kPagedOpen: {
        q_.Close();
        q_.SQL()->SetText("select client, seq, payload from load_rows order by client, seq");
        q_.OpenPart(1 + static_cast<int>(rng_() % 200), 20);
        const bool ok = q_.Active();
        while (ok && !q_.Eof()) q_.Next();
        q_.Close();
        return ok;
      }
      case kInsert:
        if (!Exec(Insert(), 1)) return false;
        ++rows_;
        return true;
      case kUpdate:
        if (!Exec(Bump(1), 1)) return false;
        ++counter_;
        return true;
      case kTransaction:
        return Transaction();
      default:
        return CachedCommit();
    }
  }

  // The client's counter row through a table with cached updates: one
  // edit, committed in a transaction of its own.
  bool CachedCommit() {
    TOrvTable t(nullptr);
    t.SetDatabase(&rdb_);
    t.SetTableName("load_counter");
    t.SetFilterText("client = " + std::to_string(tag_));
    t.SetFiltered(true);
    t.SetCachedUpdates(true);
    t.Open();
    if (!t.Active() || t.Eof()) return false;
    t.Edit();
    t.FieldByName("n")->SetAsInteger(t.FieldByName("n")->AsInteger() + 1);
    t.Post();
    t.CommitUpdates();
    ++counter_;
    return true;
  }

  // Two inserts and a counter bump, committed, or (one time in four)
  // rolled back; either way the tally follows what the server kept.
  bool Transaction() {
    const bool keep = rng_() % 4 != 0;
    const long seq_before = seq_;
    rdb_.StartTransaction();
    bool ok = false;
    try {
      ok = Exec(Insert(), 1) && Exec(Insert(), 1) && Exec(Bump(2), 1);
    } catch (...) {
      rdb_.Rollback();
      throw;
    }
    if (ok && keep) {
      rdb_.Commit();
      rows_ += 2;
      counter_ += 2;
    } else {
      rdb_.Rollback();
      seq_ = seq_before;
    }
    return ok;
  }

  const int id_;
  const int tag_;  // the client column: unique across runs
  std::minstd_rand rng_;
  TOrvRDB rdb_{nullptr};
  TOrvQuery q_{nullptr};
  std::vector<std::string> messages_;
  long seq_ = 0, rows_ = 0, counter_ = 0;
};

}  // namespace

bool LoadDriver::Prepare(std::string* error) {
  std::vector<std::string> messages;
  t_messages = &messages;
  TMessageBoxHandler previous = SetMessageBoxHandler(
      [](const std::string& text, const std::string&, unsigned) {
        if (t_messages) t_messages->push_back(text);
        return IDOK;
      });
  TOrvRDB rdb(nullptr);
  rdb.SetAddress("127.0.0.1");
  rdb.SetPort(options_.port);
  TOrvQuery q(nullptr);
  q.SetDatabase(&rdb);
  q.SQL()->SetText(
      "create table if not exists load_rows (client integer, seq integer, "
      "payload varchar(40), primary key (client, seq));"
      "create table if not exists load_counter (client integer primary key, n integer)");
  q.ExecSQL();
  SetMessageBoxHandler(previous);
  t_messages = nullptr;
  if (!messages.empty()) *error = messages.front();
  return messages.empty();
}

LoadReport LoadDriver::Run(int requests) {
  const int run = ++runs_;
  if (requests <= 0) requests = options_.requests;
  TMessageBoxHandler previous = SetMessageBoxHandler(
      [](const std::string& text, const std::string&, unsigned) {
        if (t_messages) {
          t_messages->push_back(text);
        } else {
          std::lock_guard<std::mutex> lock(g_stray_mu);
          g_stray.push_back(text);
        }
        return IDOK;
      });
  std::vector<std::unique_ptr<Client>> clients;
  for (int i = 0; i < options_.clients; ++i)
    clients.push_back(std::make_unique<Client>(options_, i, run));
  {
    // Each client's counter row, made before the clock starts.
    std::string rows;
    for (int i = 0; i < options_.clients; ++i)
      rows += std::string(rows.empty() ? "" : ", ") + "(" + std::to_string(run * 100000 + i) + ", 0)";
    TOrvRDB rdb(nullptr);
    rdb.SetAddress("127.0.0.1");
    rdb.SetPort(options_.port);
    TOrvQuery q(nullptr);
    q.SetDatabase(&rdb);
    q.SQL()->SetText("insert into load_counter values " + rows);
    q.ExecSQL();
  }

  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (auto& c : clients) threads.emplace_back([&c, requests] { c->Run(requests); });
  for (auto& t : threads) t.join();
  LoadReport report;
  report.seconds = std::chrono::duration<double>(Clock::now() - start).count();

  std::vector<double> all;
  std::vector<double> kinds[kKinds];
  for (auto& c : clients) {
    for (int k = 0; k < kKinds; ++k) {
      kinds[k].insert(kinds[k].end(), c->latencies_[k].begin(), c->latencies_[k].end());
      all.insert(all.end(), c->latencies_[k].begin(), c->latencies_[k].end());
    }
    report.conflicts += static_cast<std::int64_t>(c->conflicts_.size());
    report.errors += static_cast<std::int64_t>(c->errors_.size());
    for (const std::string& e : c->errors_)
      if (report.samples.size() < 5) report.samples.push_back(e);
    t_messages = &c->errors_;
    if (std::string m = c->Check(); !m.empty()) report.mismatches.push_back(m);
    t_messages = nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(g_stray_mu);
    report.errors += static_cast<std::int64_t>(g_stray.size());
    for (const std::string& e : g_stray)
      if (report.samples.size() < 5) report.samples.push_back(e);
    g_stray.clear();
  }
  report.requests = static_cast<std::int64_t>(all.size());
  report.all = Summarize(all);
  for (int k = 0; k < kKinds; ++k) report.by_kind.emplace_back(kKindNames[k], Summarize(kinds[k]));
  SetMessageBoxHandler(previous);
  return report;
}

}  // namespace orv::test
