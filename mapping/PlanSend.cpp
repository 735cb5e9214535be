#include "PlanSend.h"

namespace Corvane::mapping {

SendReport sendPlan(tarn::TarnInterface& dev, const LoadPlan& plan) {
    SendReport report;
    for (const Section& section : plan.sections) {
        if (!writeSection(dev, section, plan.wanted)) {
            if (!dev.isOpen()) {
                report.unitGone = true;
                return report;
            }
            report.refused.push_back(section);
        }
        ++report.sent;
    }
    return report;
}

std::optional<std::vector<ItemChange>> readBackPlan(tarn::TarnInterface& dev, const LoadPlan& plan,
                                                    const std::locale& locale) {
    UnitState held;
    readSections(dev, plan.sections, held);
    if (!dev.isOpen()) {
        return std::nullopt;
    }
    return changesBetween(describe(held, plan.sections, locale), plannedItems(plan, locale));
}

} // namespace Corvane::mapping
