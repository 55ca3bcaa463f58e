// DataSet
