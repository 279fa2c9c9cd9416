// The station's front-end logic lives in this folder; this unit keeps the folder non-empty until
// the first of it lands.
