// The operation table: which running operation holds which buttons, and the start and end
// reports a progress view would follow.
#include <vector>

#include "harness.h"

namespace orvio::test {
namespace {

class Operations : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    MakeForm();
  }
};

TEST_F(Operations, AButtonComesBackOnlyOnceNoRunningOperationHoldsIt) {
  form->BeginOperation(Op::SetAllAddresses);
  form->BeginOperation(Op::Search);
  for (QWidget* w : {static_cast<QWidget*>(form->BitBtn1), static_cast<QWidget*>(form->editID),
                     static_cast<QWidget*>(form->Button4)})
    EXPECT_FALSE(w->isEnabled());
  form->EndOperation(Op::Search);
  EXPECT_TRUE(form->editID->isEnabled());    // only the search held it
  EXPECT_FALSE(form->BitBtn1->isEnabled());  // "Set all" still does
  EXPECT_FALSE(form->Button4->isEnabled());
  form->EndOperation(Op::SetAllAddresses);
  EXPECT_TRUE(form->BitBtn1->isEnabled());
  EXPECT_TRUE(form->Button4->isEnabled());
}

TEST_F(Operations, EachOperationHoldsItsOwnRow) {
  struct Row {
    Op op;
    QWidget* held;
    QWidget* free;
  };
  for (const Row& r : {Row{Op::Scan, form->Butt_activateAll, form->BitBtn2},
                       Row{Op::ActivateAll, form->Butt_command_send, form->Butt_activateAll},
                       Row{Op::DeviceMapReadback, form->BitBtn2, form->Butt_command_send}}) {
    form->BeginOperation(r.op);
    EXPECT_TRUE(form->OperationRunning(r.op));
    EXPECT_FALSE(r.held->isEnabled()) << static_cast<int>(r.op);
    EXPECT_TRUE(r.free->isEnabled()) << static_cast<int>(r.op);
    form->EndOperation(r.op);
    EXPECT_FALSE(form->OperationRunning(r.op));
    EXPECT_TRUE(r.held->isEnabled()) << static_cast<int>(r.op);
  }
}

TEST_F(Operations, StartAndEndAreReportedOncePerRun) {
  std::vector<Op> starts, ends;
  QObject::connect(&form->Operations(), &OperationTable::Started,
                   [&](Op op) { starts.push_back(op); });
  QObject::connect(&form->Operations(), &OperationTable::Ended, [&](Op op) { ends.push_back(op); });
  form->BeginOperation(Op::Scan);
  form->EndOperation(Op::Scan);
  form->EndOperation(Op::Scan);  // STOP after the scan had ended by itself
  form->EndOperation(Op::Search);
  EXPECT_EQ(starts, std::vector<Op>{Op::Scan});
  EXPECT_EQ(ends, std::vector<Op>{Op::Scan});
}

}  // namespace
}  // namespace orvio::test
