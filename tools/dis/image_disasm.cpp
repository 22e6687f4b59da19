namespace orva::qxdis {}
