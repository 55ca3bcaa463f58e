// Filter
