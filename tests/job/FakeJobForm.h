// A scripted main window for the input stage: fields, check boxes, existing files and the
// operator's answer, with a record of every box and focus move.
#pragma once

#include "job/CollectData.h"

#include <map>
#include <set>
#include <string>
#include <vector>

class FakeJobForm : public IJobForm {
public:
    std::map<JobField, std::string> fields;
    std::set<JobCheck> checked{JobCheck::chk1};
    std::set<std::string> existingFiles;
    bool confirmAnswer = true;

    std::vector<std::string> warnings;
    std::vector<std::string> confirmations;
    std::vector<JobField> focusMoves;

    std::string FieldText(JobField field) override { return fields[field]; }
    void SetFieldText(JobField field, const std::string& text) override { fields[field] = text; }
    bool Checked(JobCheck check) override { return checked.count(check) != 0; }
    void FocusField(JobField field) override { focusMoves.push_back(field); }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    bool Confirm(const std::string& text) override
    {
        confirmations.push_back(text);
        return confirmAnswer;
    }
    bool FileExists(const std::string& path) override { return existingFiles.count(path) != 0; }

    // Fields that pass every test, with credentials so that no confirmation is asked.
    void FillValid()
    {
        fields[JobField::edt1] = "C:\\Lists\\targets.txt";
        fields[JobField::edt2] = "\\\\Server\\share\\install.msi";
        fields[JobField::edt3] = "CORP";
        fields[JobField::edt4] = "deploy";
        fields[JobField::edt5] = "secret";
        existingFiles = {fields[JobField::edt1], fields[JobField::edt2]};
    }
};
