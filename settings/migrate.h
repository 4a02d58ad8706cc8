// One-time move of the settings of the product's older name ("Plumora").
#pragma once

// Copies the old options and account (with its searches and the still
// protected password) to the current keys and removes the old tree. Called
// once per connection before any settings object is used.
void MigrateOldSettings();
