// Status readout of the gateway: fourteen request/answer steps, one per tick of Timer_status (the
// engine's RequestSequence sends them; this file shows their answers).
#include "core/gateway/status_readout.h"

#include "app/tform1.h"
#include "core/progress/progress.h"

namespace orvio {

void TForm1::BitBtn18Click() {
  if (!CheckLink()) return;
  gateway.StatusStep = 1;
  std::vector<GatewayRequest> requests;
  for (const StatusStepSpec& step : StatusSteps()) requests.push_back(step.request);
  statusReadout->Begin(std::move(requests), UD_modbusTimeout->Position(),
                       {[this](size_t, const ByteString& answer) { StatusStepAnswered(answer); },
                        [this] { JobProgress->Finish(Job::Status); }});
  JobProgress->Start(Job::Status);
  ReportProgress(Job::Status, progress::StepsReport("step", 0, kStatusStepCount,
                                                    AnswerWaitMs(Timer_status->Interval())));
}

void TForm1::Timer_statusTimer() { statusAnswer->WaitOver(); }

void TForm1::StatusStepAnswered(const ByteString& answer) {
  const StatusStepSpec* step = StatusStepAt(gateway.StatusStep);
  if (step && !answer.empty()) {
    const AnswerCheck check = ValidateAnswer(answer, step->check);
    const StatusLines out = step->build(answer, check);
    MemoAddLines(out.lines);
    if (out.activeDeviceCount) SetActiveDeviceCount(*out.activeDeviceCount);
  }
  MemoAdd(StatusUnmdLine(answer));
  ++gateway.StatusStep;
  ReportProgress(Job::Status,
                 progress::StepsReport("step", gateway.StatusStep - 1, kStatusStepCount,
                                       AnswerWaitMs(Timer_status->Interval())));
}

}  // namespace orvio
