// outputs [N]: the relay outputs' parameters; with settings, "Применить" of
// output N as the panel does it (same tags, same order), or its relay switched.
#include <optional>

#include "uCliCommand.h"
#include "uCliExit.h"
#include "uOutputParams.h"

namespace {
class TzOutputsCommand : public TzCommand {
public:
  CLI::App* Add(CLI::App& aApp) override {
    CLI::App* c = aApp.add_subcommand(
        "outputs", "show the relay outputs' tags; with --on/--off switch relay N, with PWM or logic settings apply "
                   "them to output N as the panel's \"Применить\" does (unset ones keep the module's values)");
    c->add_option("output", fOutput, "output 1..6 (all six shown when omitted)")->check(CLI::Range(1, kOutputCount));
    auto* on = c->add_flag("--on", fOn, "switch the relay on");
    c->add_flag("--off", fOff, "switch the relay off")->excludes(on);
    c->add_option("--period", fPeriod, "PWM period, tenths of a second (1..65535)");
    c->add_option("--duty", fDuty, "PWM duty, tenths of a percent (0..1000)");
    c->add_option("--safe-duty", fSafeDuty, "PWM duty without the master, tenths of a percent (0..1000)");
    c->add_option("--function", fFunction, "logic function 0..7 (0: off)")->check(CLI::Range(0, 7));
    c->add_option("--delay-type", fDelayType, "logic delay type 0..2")->check(CLI::Range(0, 2));
    c->add_option("--delay", fDelay, "logic delay, tenths of a second (1..65535)");
    c->add_option("--x", fX, "logic input X 1..12")->check(CLI::Range(1, 12));
    c->add_option("--y", fY, "logic input Y 1..12")->check(CLI::Range(1, 12));
    c->add_option("--invert", fInvert, "logic inversion 0 or 1")->check(CLI::Range(0, 1));
    return c;
  }

  int Run(const TzCommonOptions& aOptions) override {
    const bool apply = fPeriod || fDuty || fSafeDuty || fFunction || fDelayType || fDelay || fX || fY || fInvert;
    if ((apply || fOn || fOff) && fOutput == 0) {
      ReportError("outputs: name the output (1..6) to change");
      return exUsage;
    }
    return WithSession(aOptions, [&](TzCliSession& aSession) {
      if (fOn || fOff || apply) {
        if (const int code = aSession.Identify(); code != exOk) return code;
      }
      if (fOn || fOff) {
        WriteOutputState(aSession, fOutput, fOn);
        if (const int code = aSession.Report(aSession.WaitWrites()); code != exOk) return code;
      }
      if (apply) {
        if (const int code = Apply(aSession); code != exOk) return code;
      }
      return Show(aSession, aOptions);
    });
  }

private:
  std::vector<TzTag*> TagsOf(TzCliSession& aSession, int aOutput) {
    const TzOutputTags t = OutputTags(aOutput);
    std::vector<TzTag*> tags;
    for (const int32_t id : {t.State, t.Status, t.Duty, t.Period, t.SafeDuty, t.Inversion, t.Function, t.X, t.Y,
                             t.DelayType, t.Delay})
      if (TzTag* tag = aSession.Device().GetTagByID(id)) tags.push_back(tag);
    return tags;
  }

  int Show(TzCliSession& aSession, const TzCommonOptions& aOptions) {
    std::vector<TzTag*> tags;
    for (int n = fOutput ? fOutput : 1; n <= (fOutput ? fOutput : kOutputCount); ++n)
      for (TzTag* tag : TagsOf(aSession, n)) tags.push_back(tag);
    const std::vector<TzOutcome> outcomes = aSession.Read(tags);
    TzTable table(aOptions.OutputFormat, TagColumns(aOptions.OutputFormat));
    for (const TzTag* tag : tags) table.Add(TagRow(*tag, aOptions.OutputFormat));
    table.Finish();
    return aSession.Report(outcomes);
  }

  // The panel's fields start from the module's values; the options replace some.
  int Apply(TzCliSession& aSession) {
    if (const int code = aSession.Report(aSession.Read(TagsOf(aSession, fOutput))); code != exOk) return code;
    TzDiscretOutParams params;
    ReadOutputParams(
        [&](int32_t aID, int32_t& aValue) {
          const TzTag* tag = aSession.Device().GetTagByID(aID);
          if (!tag || tag->Quality() != kQualityGood) return false;
          aValue = static_cast<int32_t>(tag->Value());
          return true;
        },
        fOutput, params);
    struct TzGiven {
      TzOutputField Field;
      const char* Option;
      std::optional<int32_t> Value;
    };
    const TzGiven given[] = {{TzOutputField::ShimPeriod, "--period", fPeriod},
                             {TzOutputField::ShimKoef, "--duty", fDuty},
                             {TzOutputField::ShimKoefSecure, "--safe-duty", fSafeDuty},
                             {TzOutputField::LogicLag, "--delay", fDelay}};
    std::string refused;
    // Every field is checked as the panel checks it, the module's values too.
    const TzReadOutputField readField = [&](TzOutputField aField, int32_t aMin, int32_t aMax, int32_t& aValue) {
      for (const TzGiven& g : given) {
        if (g.Field != aField) continue;
        const int32_t value = g.Value.value_or(aValue);
        if (value < aMin || value > aMax) {
          refused = std::string(g.Value ? "" : "the module's ") + g.Option + " " + std::to_string(value) +
                    " is outside " + std::to_string(aMin) + ".." + std::to_string(aMax);
          return false;
        }
        aValue = value;
      }
      return true;
    };
    TzOutputLogicChoice choice;
    choice.FuncIndex = fFunction.value_or(params.LogicFunc);
    choice.TypeIndex = fDelayType.value_or(params.LogicType);
    choice.XIndex = fX.value_or(std::max(params.LogicX, 1)) - 1;
    choice.YIndex = fY.value_or(std::max(params.LogicY, 1)) - 1;
    choice.Inverted = fInvert.value_or(params.LogicInv) != 0;
    const int32_t moduleFunction = params.LogicFunc;
    const TzApplyOutcome outcome = ApplyOutputParams(aSession, fOutput, params, readField, choice);
    if (outcome == TzApplyOutcome::FieldInvalid) {
      ReportError("outputs: " + refused);
      return exUsage;
    }
    if (const int code = aSession.Report(aSession.WaitWrites()); code != exOk) return code;
    if (outcome == TzApplyOutcome::LogicRefused) {
      ReportError("output " + std::to_string(fOutput) + " runs logic function " + std::to_string(moduleFunction) +
                  ": the PWM was written, the logic not; set --function 0 first");
      return exRefused;
    }
    return exOk;
  }

  int fOutput = 0;
  bool fOn = false, fOff = false;
  std::optional<int32_t> fPeriod, fDuty, fSafeDuty, fFunction, fDelayType, fDelay, fX, fY, fInvert;
};
}  // namespace

std::unique_ptr<TzCommand> MakeOutputsCommand() { return std::make_unique<TzOutputsCommand>(); }
